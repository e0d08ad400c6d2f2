#include "platform/MobileGestalt/MobileGestalt.h"

#include <mutex>

#include "platform/Foundation/Foundation.h"
#include "platform/Seams.h"
#include "platform/Substrate/Replaceable.h"

namespace qv {
namespace {

struct Answers {
  std::mutex mutex;
  std::map<std::string, bool> values;
};

Answers& answers() {
  static auto* device = new Answers;  // asked until exit
  return *device;
}

BOOL stockMGGetBoolAnswer(id question) {
  if (question == nil) return NO;
  const std::string key = utf8(question);
  std::lock_guard lock(answers().mutex);
  auto found = answers().values.find(key);
  return found != answers().values.end() && found->second ? YES : NO;
}

const Replaceable<BOOL(id)> mgGetBoolAnswer("MGGetBoolAnswer", &MGGetBoolAnswer,
                                            &stockMGGetBoolAnswer);

}  // namespace

void setGestaltAnswers(std::map<std::string, bool> values) {
  std::lock_guard lock(answers().mutex);
  answers().values = std::move(values);
}

}  // namespace qv

BOOL MGGetBoolAnswer(id question) {
  return qv::mgGetBoolAnswer(question);
}
