#include "tests/device/emulation/Values.h"

#include <vector>

#include "platform/Foundation/Foundation.h"
#include "port/AVFoundation/AVFoundation.h"
#include "tests/device/emulation/Recording.h"

namespace quorvane::emulation {

namespace {

const std::vector<std::string> kTypes{"bool",   "int",  "long",   "int64",  "uint64",  "float",
                                      "double", "time", "string", "object", "integer", "real"};

id selfObject = nil;

id backCamera() {
  return qv::send<id>(objc_getClass("AVCaptureDevice"), "defaultDeviceWithMediaType:"_sel,
                      AVMediaTypeVideo);
}

id element(id array, std::size_t index) {
  if (index >= qv::send<std::size_t>(array, "count"_sel)) return nil;
  return qv::send<id>(array, "objectAtIndex:"_sel, index);
}

id format(std::size_t index) {
  return element(qv::send<id>(backCamera(), "formats"_sel), index);
}

id range(std::size_t formatIndex, std::size_t rangeIndex) {
  return element(qv::send<id>(format(formatIndex), "videoSupportedFrameRateRanges"_sel),
                 rangeIndex);
}

void recordFrameDuration(id, SEL, CMTime duration) {
  record(JsonObject()
             .add("send", jsonString("setMinVideoFrameDuration:"))
             .add("to", jsonString("session"))
             .add("args", jsonArray({printedTime(duration)}))
             .text());
}

id session() {
  static const qv::Ref<> made = [] {
    const NotRecorded quiet;  // the reference's own class, no event of the library's
    const Class cls = qv::ClassBuilder("QuorvaneRecordingSession", qv::NSObjectClass())
                          .method("setMinVideoFrameDuration:", &recordFrameDuration)
                          .registerClass();
    return qv::adopt(qv::send<id>(qv::send<id>(cls, "alloc"_sel), "init"_sel));
  }();
  return made.get();
}

// The label of an object of the back camera, or "" when it is none of them.
std::string cameraLabel(id object) {
  if (object == backCamera()) return "device";
  for (std::size_t i = 0; format(i) != nil; ++i) {
    if (object == format(i)) return "format " + std::to_string(i);
    for (std::size_t j = 0; range(i, j) != nil; ++j) {
      if (object == range(i, j)) return "range " + std::to_string(i) + "." + std::to_string(j);
    }
  }
  return "";
}

}  // namespace

Value readValue(const YAML::Node& node) {
  if (node.IsNull()) return {"null", node};
  if (node.IsMap() && node.size() == 1) {
    const std::string type = node.begin()->first.as<std::string>();
    for (const std::string& known : kTypes) {
      if (type == known) return {type, node.begin()->second};
    }
  }
  throw CaseError("not a typed value: " + YAML::Dump(node));
}

void setSelf(id self) {
  selfObject = self;
}

id objectForLabel(const std::string& label) {
  if (label == "self") return selfObject;
  if (label == "device") return backCamera();
  if (label == "session") return session();
  std::size_t i = 0, j = 0;
  char tail = 0;
  if (std::sscanf(label.c_str(), "format %zu%c", &i, &tail) == 1) return format(i);
  if (std::sscanf(label.c_str(), "range %zu.%zu%c", &i, &j, &tail) == 2) return range(i, j);
  throw CaseError("no object labelled \"" + label + "\"");
}

std::string printedObject(id value) {
  if (value == nil) return "null";
  if (qv::send<BOOL>(value, "isKindOfClass:"_sel, objc_getClass("NSString"))) {
    return "{\"string\": " + jsonString(qv::utf8(value)) + "}";
  }
  std::string label = value == selfObject ? "self" : value == session() ? "session" : "";
  if (label.empty()) label = cameraLabel(value);
  if (label.empty()) label = std::string("an unnamed ") + object_getClassName(value);
  return "{\"object\": " + jsonString(label) + "}";
}

std::string printedTime(CMTime value) {
  return "{\"time\": " +
         jsonArray({std::to_string(value.value), std::to_string(value.timescale),
                    std::to_string(value.flags), std::to_string(value.epoch)}) +
         "}";
}

id objectValue(const Value& value) {
  if (value.type == "null") return nil;
  if (value.type == "object") return objectForLabel(value.node.as<std::string>());
  if (value.type == "string") {
    // The case's process is short: its strings live until it ends.
    static std::vector<qv::Ref<>> strings;
    strings.push_back(qv::makeString(value.node.as<std::string>()));
    return strings.back().get();
  }
  throw CaseError("a " + value.type + " where an object is passed");
}

CMTime timeValue(const Value& value) {
  if (value.type != "time" || !value.node.IsSequence() || value.node.size() != 2) {
    throw CaseError("a time is written {time: [value, timescale]}");
  }
  // Made by hand: CMTimeMake itself is hooked, and a call of it is an event.
  return {value.node[0].as<CMTimeValue>(), value.node[1].as<CMTimeScale>(), kCMTimeFlags_Valid, 0};
}

}  // namespace quorvane::emulation
