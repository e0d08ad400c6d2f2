// The run report, read back with an HTML parser (libxml2's) as a browser would take it apart:
// every snapshot once, inline at the step that took it; failures marked; the summary; nothing
// that would be fetched from elsewhere.
#include <glib.h>
#include <gtest/gtest.h>
#include <libxml/HTMLparser.h>
#include <libxml/xpath.h>

#include <cstring>
#include <memory>
#include <regex>

#include "sim/front/Report.h"
#include "tests/sim/SimCommand.h"

namespace qv::test {
namespace {

// A parsed page and XPath queries over it.
class Page {
 public:
  explicit Page(const std::string& html)
      : document_(htmlReadMemory(html.data(), static_cast<int>(html.size()), "report.html", "utf-8",
                                 HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET),
                  xmlFreeDoc) {}

  bool parsed() const { return document_ != nullptr; }

  std::vector<xmlNodePtr> all(const std::string& path, xmlNodePtr from = nullptr) const {
    const std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(
        xmlXPathNewContext(document_.get()), xmlXPathFreeContext);
    if (from != nullptr) context->node = from;
    const std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> found(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path.c_str()), context.get()),
        xmlXPathFreeObject);
    std::vector<xmlNodePtr> nodes;
    if (found == nullptr || found->nodesetval == nullptr) return nodes;
    for (int i = 0; i < found->nodesetval->nodeNr; ++i)
      nodes.push_back(found->nodesetval->nodeTab[i]);
    return nodes;
  }

  std::vector<std::string> texts(const std::string& path) const {
    std::vector<std::string> all;
    for (xmlNodePtr node : this->all(path)) all.push_back(text(node));
    return all;
  }

  static std::string text(xmlNodePtr node) {
    const std::unique_ptr<xmlChar, decltype(xmlFree)> content(xmlNodeGetContent(node), xmlFree);
    return content ? reinterpret_cast<const char*>(content.get()) : "";
  }

  static std::string attribute(xmlNodePtr node, const char* name) {
    const std::unique_ptr<xmlChar, decltype(xmlFree)> value(
        xmlGetProp(node, reinterpret_cast<const xmlChar*>(name)), xmlFree);
    return value ? reinterpret_cast<const char*>(value.get()) : "";
  }

 private:
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document_;
};

std::string decoded(const std::string& base64) {
  gsize length = 0;
  guchar* bytes = g_base64_decode(base64.c_str(), &length);
  std::string out(reinterpret_cast<const char*>(bytes), length);
  g_free(bytes);
  return out;
}

// Nothing on the page points outside it: pictures are data, links go to its own parts.
void expectSelfContained(const Page& page) {
  for (xmlNodePtr node : page.all("//*[@src or @href]")) {
    const std::string target = Page::attribute(node, "src") + Page::attribute(node, "href");
    EXPECT_TRUE(target.rfind("data:", 0) == 0 || target.rfind("#", 0) == 0) << target;
  }
  EXPECT_TRUE(page.all("//script | //link | //iframe | //object | //embed").empty());
  for (const std::string& style : page.texts("//style")) {
    EXPECT_EQ(style.find("url("), std::string::npos);
    EXPECT_EQ(style.find("@import"), std::string::npos);
  }
}

constexpr const char* kScenario = R"(description: "Slow motion <b>&</b> a crash"
device: iPhone 6
settings: {values: {MogulFramerate: 120}}
remove: ["-[CAMCaptureController mogulFrameRate]"]
steps:
  - launch: Photos
  - snapshot: {app: MobileSlideShow}
  - expect: {running: [Camera]}
  - launch: Camera
  - camera_mode: slow_motion
  - snapshot: {app: MobileSlideShow, name: after-the-crash}
  - expect: {running: [MobileSlideShow]}
)";

TEST(Report, EverySnapshotIsInlineOnceAtItsStepAndEveryFailureIsMarked) {
  const TempFolder folder;
  folder.write("crash.yaml", kScenario);
  const Finished run =
      runSim({"run", "crash.yaml", "--root", folder.at("root"), "--report", "report.html"},
             folder.path().string());
  ASSERT_EQ(run.status, 1) << run.out << run.err;
  const Page page(folder.read("report.html"));
  ASSERT_TRUE(page.parsed());
  expectSelfContained(page);
  EXPECT_EQ(page.texts("//h1"), std::vector<std::string>{"crash.yaml"});
  EXPECT_EQ(page.texts("//header/p[@class='description']"),
            std::vector<std::string>{"Slow motion <b>&</b> a crash"});

  // Each snapshot the trace names is on the page once, in the part of the step that took it,
  // with the file's very bytes.
  const std::regex snapshotLine(R"(snapshot (/\S+/(\S+)\.png))");
  int snapshots = 0;
  for (auto line = std::sregex_iterator(run.out.begin(), run.out.end(), snapshotLine);
       line != std::sregex_iterator(); ++line, ++snapshots) {
    const std::string name = (*line)[2];
    const std::vector<xmlNodePtr> images = page.all("//img[@alt='snapshot " + name + ".png']");
    ASSERT_EQ(images.size(), 1u) << name;
    const std::vector<xmlNodePtr> part = page.all("ancestor::section/h2", images[0]);
    ASSERT_EQ(part.size(), 1u);
    EXPECT_NE(Page::text(part[0]).find("snapshot " + name + " of MobileSlideShow"),
              std::string::npos)
        << Page::text(part[0]);
    const std::string source = Page::attribute(images[0], "src");
    ASSERT_EQ(source.rfind("data:image/png;base64,", 0), 0u);
    EXPECT_EQ(decoded(source.substr(std::strlen("data:image/png;base64,"))),
              folder.read("root/snapshots/" + name + ".png"));
  }
  EXPECT_EQ(snapshots, 2);
  EXPECT_EQ(page.all("//img").size(), 2u);

  // Failures: the failed expectation and the crash, marked where they happened and listed at
  // the top; the other parts are not marked.
  const std::vector<std::string> failed = page.texts("//li[contains(@class, 'failed')]");
  ASSERT_EQ(failed.size(), 3u);
  EXPECT_NE(
      failed[0].find("FAILED crash.yaml:8: running: expected [Camera], got [MobileSlideShow]"),
      std::string::npos)
      << failed[0];
  EXPECT_NE(failed[1].find("crashed: uncaught exception NSInvalidArgumentException"),
            std::string::npos)
      << failed[1];
  EXPECT_NE(failed[2].find("FAILED: 7 steps"), std::string::npos) << failed[2];
  EXPECT_EQ(
      page.texts("//section[contains(@class, 'failed')]/h2"),
      (std::vector<std::string>{"0.000  crash.yaml:8: expect",
                                "0.000  crash.yaml:10: camera_mode slow_motion on Camera", "End"}));
  EXPECT_EQ(page.all("//nav[@class='failures']//a").size(), 2u);
  for (xmlNodePtr link : page.all("//nav[@class='failures']//a")) {
    const std::string target = Page::attribute(link, "href").substr(1);
    EXPECT_EQ(page.all("//section[@id='" + target + "' and contains(@class, 'failed')]").size(),
              1u);
  }
  EXPECT_NE(page.texts("//p[@class='result failed']").at(0).find("FAILED: 7 steps, 2 checks"),
            std::string::npos);
  const std::vector<std::string> end = page.texts("//section[@id='end']");
  ASSERT_EQ(end.size(), 1u);
  EXPECT_NE(end[0].find("FAILED: 7 steps, 2 checks, 1 failure, 1 crash"), std::string::npos);
  EXPECT_NE(end[0].find("ended: the scenario ended"), std::string::npos);
  // Each trace line keeps its time and source.
  EXPECT_EQ(page.all("//li[@class='event']/span[@class='time']").size() +
                page.all("//li[@class='event failed']/span[@class='time']").size(),
            page.all("//li[contains(@class, 'event')]").size());
}

TEST(Report, TheShellsPageShowsItsRefusedLinesAndItsLooks) {
  const TempFolder folder;
  const Finished session =
      runSim({"shell", "--root", folder.at("root"), "--report", "shell.html"},
             folder.path().string(), "launch: Camera\nlanch: Camera\nshow running\nsnapshot\n");
  ASSERT_EQ(session.status, 1) << session.err;
  const Page page(folder.read("shell.html"));
  expectSelfContained(page);
  EXPECT_EQ(page.texts("//h1"), std::vector<std::string>{"quorvane-sim shell on iPhone 6"});
  const std::vector<std::string> refused =
      page.texts("//section[contains(@class, 'rejected failed')]/h2");
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_NE(refused[0].find("shell:2: unknown step 'lanch'"), std::string::npos) << refused[0];
  EXPECT_EQ(page.texts("//section[@class='show']/h2").size(), 1u);
  EXPECT_EQ(page.all("//section[h2[contains(., 'snapshot Camera-4')]]//img").size(), 1u);
}

TEST(Report, TextIsShownAsWrittenWhateverItsBytes) {
  const std::vector<sim::TraceEvent> events{
      {0, "Camera", "log", "<script>alert(\"&\")</script>", {}},
      {0.5, "Camera", "log", std::string("IMG_\xff\xfe.MOV \xe2\x9d"), {}},
  };
  const Page page(sim::reportPage("a <title>", events));
  ASSERT_TRUE(page.parsed());
  EXPECT_EQ(page.texts("//h1"), std::vector<std::string>{"a <title>"});
  EXPECT_TRUE(page.all("//script").empty());
  EXPECT_EQ(
      page.texts("//span[@class='text']"),
      (std::vector<std::string>{"<script>alert(\"&\")</script>",
                                "IMG_\xef\xbf\xbd\xef\xbf\xbd.MOV \xef\xbf\xbd\xef\xbf\xbd"}));
  EXPECT_EQ(page.texts("//span[@class='time']"), (std::vector<std::string>{"0.000", "0.500"}));
}

TEST(Report, AReportThatCannotBeWrittenStopsTheRunAndAnUnreadableScenarioStillGetsItsPage) {
  const TempFolder folder;
  folder.write("ok.yaml", "device: iPhone 6\nsteps: [launch: Camera]\n");
  const Finished nowhere =
      runSim({"run", "ok.yaml", "--report", "missing/folder/r.html"}, folder.path().string());
  EXPECT_EQ(nowhere.status, 2);
  EXPECT_EQ(nowhere.out, "") << "nothing runs";
  EXPECT_EQ(nowhere.err.rfind("quorvane-sim: cannot write the report missing/folder/r.html: ", 0),
            0u)
      << nowhere.err;

  folder.write("bad.yaml", "device: iPhone 6\nsteps: [lanch: Camera]\n");
  folder.write("bad.html", "a report of an earlier run");
  const Finished bad = runSim({"run", "bad.yaml", "--report", "bad.html"}, folder.path().string());
  EXPECT_EQ(bad.status, 2);
  const Page page(folder.read("bad.html"));
  const std::vector<std::string> failed =
      page.texts("//section[contains(@class, 'rejected failed')]/h2");
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_NE(failed[0].find("bad.yaml:2: unknown step 'lanch'"), std::string::npos) << failed[0];
}

}  // namespace
}  // namespace qv::test
