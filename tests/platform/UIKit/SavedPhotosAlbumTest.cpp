// UISaveVideoAtPathToSavedPhotosAlbum: the completion comes later, on the main queue, with the
// path, an NSError or nil, and the context, whichever thread asked; files that cannot be saved
// never reach the album.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/Foundation/Foundation.h"
#include "platform/UIKit/UIKit.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/support/SandboxRoot.h"

namespace qv::ui {
namespace {

struct Completion {
  std::string path;
  std::string error;  // its description; empty for nil
  NSInteger code = 0;
  void* context = nullptr;
  bool onMain = false;
};
std::vector<Completion> completions;

void didFinishSaving(id, SEL, id path, id error, void* context) {
  completions.push_back({utf8(path), error ? utf8(send<id>(error, "localizedDescription"_sel)) : "",
                         send<NSInteger>(error, "code"_sel), context, MainRunLoop::isMainThread()});
}

Class targetClass() {
  static const Class cls =
      ClassBuilder("AlbumTestTarget", NSObjectClass())
          .method("video:didFinishSavingWithError:contextInfo:", &didFinishSaving)
          .registerClass();
  return cls;
}

class SavedPhotosAlbum : public ::testing::Test {
 protected:
  SavedPhotosAlbum() {
    MainRunLoop::adoptCurrentThread();
    completions.clear();
    setSavedPhotosAlbum([this](const std::string& path) {
      saved.push_back(path);
      return refusal;
    });
    root.writeFile("/tmp/remake.mov", "movie bytes");
  }
  ~SavedPhotosAlbum() override { setSavedPhotosAlbum({}); }

  void save(const std::string& path, void* context = nullptr) {
    UISaveVideoAtPathToSavedPhotosAlbum(makeString(path).get(), target.get(),
                                        "video:didFinishSavingWithError:contextInfo:"_sel, context);
  }

  // The completion of one save, after the main queue ran.
  Completion completed() {
    MainRunLoop::runUntilIdle();
    EXPECT_EQ(completions.size(), 1u);
    return completions.empty() ? Completion{} : completions.back();
  }

  test::SandboxRoot root;
  AutoreleasePool pool;
  Ref<> target = make(targetClass());
  std::vector<std::string> saved;
  std::string refusal;
};

TEST_F(SavedPhotosAlbum, AReadableFileGoesToTheAlbumAndTheCompletionFollowsOnMain) {
  int context = 0;
  std::thread([&] { save("/tmp/remake.mov", &context); }).join();
  EXPECT_TRUE(completions.empty()) << "nothing before the main queue runs";
  EXPECT_TRUE(saved.empty());
  const std::size_t held = retainCount(target);
  EXPECT_GT(held, 1u) << "the target is held until its completion";
  const Completion done = completed();
  EXPECT_EQ(saved, std::vector<std::string>{"/tmp/remake.mov"});
  EXPECT_EQ(done.path, "/tmp/remake.mov");
  EXPECT_EQ(done.error, "");
  EXPECT_EQ(done.context, &context);
  EXPECT_TRUE(done.onMain);
  EXPECT_EQ(retainCount(target), 1u);
}

TEST_F(SavedPhotosAlbum, FilesThatCannotBeSavedAnswerAnErrorAndNeverReachTheAlbum) {
  root.writeFile("/tmp/folder/inside", "");
  const struct {
    const char* path;
    const char* reason;
  } cases[] = {
      {"/tmp/missing.mov", "/tmp/missing.mov is not a file"},
      {"/tmp/folder", "/tmp/folder is not a file"},
      {"", "no file was given"},
  };
  for (const auto& c : cases) {
    completions.clear();
    save(c.path);
    const Completion done = completed();
    EXPECT_EQ(done.error, c.reason) << c.path;
    EXPECT_EQ(done.code, -3302) << c.path;
    EXPECT_EQ(done.path, c.path);
  }
  EXPECT_TRUE(saved.empty());
}

TEST_F(SavedPhotosAlbum, TheAlbumsOwnRefusalAndAnAppWithoutAlbumAreErrors) {
  refusal = "the album is full";
  save("/tmp/remake.mov");
  EXPECT_EQ(completed().error, "the album is full");
  EXPECT_EQ(saved.size(), 1u) << "asked, and refused";

  completions.clear();
  setSavedPhotosAlbum({});
  save("/tmp/remake.mov");
  EXPECT_EQ(completed().error, "this app has no saved-photos album");
}

TEST_F(SavedPhotosAlbum, AnErrorDescribesItselfByDomainCodeAndText) {
  Ref<> error = makeError("ALAssetsLibraryErrorDomain", -3302, "the album is full");
  EXPECT_EQ(utf8(send<id>(error.get(), "domain"_sel)), "ALAssetsLibraryErrorDomain");
  EXPECT_EQ(utf8(send<id>(error.get(), "description"_sel)),
            "Error Domain=ALAssetsLibraryErrorDomain Code=-3302 \"the album is full\"");
  id bare = send<id>(objc_getClass("NSError"), "errorWithDomain:code:userInfo:"_sel,
                     "NSCocoaErrorDomain"_ns, NSInteger{4}, nil);
  EXPECT_EQ(send<id>(bare, "userInfo"_sel), nil);
  EXPECT_EQ(utf8(send<id>(bare, "localizedDescription"_sel)),
            "The operation couldn't be completed. (NSCocoaErrorDomain error 4.)");
}

}  // namespace
}  // namespace qv::ui
