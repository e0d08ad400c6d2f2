#include "tests/device/emulation/Calls.h"

#include <cstring>
#include <functional>
#include <map>

#include "capture/CaptureHooks.h"
#include "capture/CaptureHooksIOS8.h"
#include "platform/Foundation/Foundation.h"
#include "platform/MobileGestalt/MobileGestalt.h"
#include "tests/device/emulation/Recording.h"

namespace quorvane::emulation {

namespace {

StockBehaviour currentStock;
std::map<std::string, bool> currentSelfAnswers;

BOOL answerFromSelf(id, SEL cmd) {
  const auto found = currentSelfAnswers.find(sel_getName(cmd));
  return found != currentSelfAnswers.end() && found->second ? YES : NO;
}

void recordOriginal(const std::string& name, const std::vector<std::string>& args) {
  record(JsonObject().add("original", jsonString(name)).add("args", jsonArray(args)).text());
}

void makeStockTime() {
  if (!currentStock.makeTime) return;
  const CMTime made = CMTimeMake(currentStock.makeTime->first, currentStock.makeTime->second);
  record(JsonObject().add("made_time", printedTime(made)).add("noHigh", jsonBool(noHigh)).text());
}

template <typename R>
R stockAnswer() {
  if constexpr (std::is_void_v<R>) {
    return;
  } else {
    return currentStock.answers ? converted<R>(*currentStock.answers) : R{};
  }
}

// The types of C++ values, as the step's typed values name them.
template <typename T>
constexpr const char* typeKey() {
  if constexpr (std::is_void_v<T>) {
    return "void";
  } else if constexpr (std::is_same_v<T, BOOL>) {
    return "bool";
  } else if constexpr (std::is_same_v<T, std::int32_t>) {
    return "int";
  } else if constexpr (std::is_same_v<T, long>) {
    return "long";
  } else if constexpr (std::is_same_v<T, std::uint64_t>) {
    return "uint64";
  } else if constexpr (std::is_same_v<T, float>) {
    return "float";
  } else if constexpr (std::is_same_v<T, double>) {
    return "double";
  } else if constexpr (std::is_same_v<T, CMTime>) {
    return "time";
  } else {
    static_assert(std::is_same_v<T, id>, "a type the case file has no name for");
    return "id";
  }
}

std::string typeKey(const std::string& type) {
  if (type.empty()) return "void";
  if (type == "int64") return "long";  // int64_t is long here
  if (type == "string" || type == "object" || type == "null") return "id";
  return type;
}

// One C++ method type, R (id, SEL, A...): how to call a replacement of it and its stock.
struct MethodShape {
  std::string key;
  std::string types;  // its type encoding
  std::function<std::string(IMP, id, SEL, const std::vector<Value>&, const std::string&)> call;
  IMP stock;
};

template <typename R, typename... A>
R stockMethod(id, SEL, A... args) {
  std::vector<std::string> printedArgs;
  [[maybe_unused]] std::size_t index = 0;
  (printedArgs.push_back(printed(currentStock.argTypes.at(index++), args)), ...);
  recordOriginal(currentStock.name, printedArgs);
  makeStockTime();
  return stockAnswer<R>();
}

template <typename R, typename... A, std::size_t... I>
std::string callMethod(IMP imp, id self, SEL selector,
                       [[maybe_unused]] const std::vector<Value>& args, const std::string& returns,
                       std::index_sequence<I...>) {
  const auto replacement = qv::fromIMP<R (*)(id, SEL, A...)>(imp);
  if constexpr (std::is_void_v<R>) {
    replacement(self, selector, converted<A>(args[I])...);
    return "";
  } else {
    return printed(returns, replacement(self, selector, converted<A>(args[I])...));
  }
}

template <typename R, typename... A>
MethodShape shape() {
  std::string key = std::string(typeKey<R>()) + "(";
  ((key += std::string(typeKey<A>()) + ","), ...);
  return {key + ")", qv::methodEncoding<R, A...>(),
          [](IMP imp, id self, SEL selector, const std::vector<Value>& args,
             const std::string& returns) {
            return callMethod<R, A...>(imp, self, selector, args, returns,
                                       std::index_sequence_for<A...>{});
          },
          qv::toIMP(&stockMethod<R, A...>)};
}

// The method types the cases call; another is one more line.
const std::vector<MethodShape>& methodShapes() {
  static const std::vector<MethodShape> shapes{
      shape<double>(),         shape<float>(),
      shape<BOOL>(),           shape<id, id>(),
      shape<id, id, id>(),     shape<id, id, double>(),
      shape<void, id, BOOL>(), shape<float, float>(),
      shape<void, float>(),    shape<BOOL, long, long, id>(),
  };
  return shapes;
}

const MethodShape& shapeOf(const CallStep& step) {
  std::string key = typeKey(step.returns) + "(";
  for (const Value& arg : step.args) key += typeKey(arg.type) + ",";
  key += ")";
  for (const MethodShape& shape : methodShapes()) {
    if (shape.key == key) return shape;
  }
  throw CaseError("no call of the method type " + key + " is known to the reference");
}

const MethodHook* tableRow(const HookTable& table, const CallStep& step) {
  const HookKind kind = step.target == "method" ? HookKind::InstanceMethod : HookKind::ClassMethod;
  for (const HookGroup& group : table.groups) {
    if (step.className != group.className) continue;
    for (const MethodHook& row : group.hooks) {
      if (row.kind == kind && step.name == row.selector) return &row;
    }
  }
  return nullptr;
}

void answerForSelf(Class cls, const CallStep& step) {
  currentSelfAnswers.clear();
  for (const auto& [selector, answer] : step.selfAnswers) {
    currentSelfAnswers[selector] = answer;
    class_addMethod(cls, sel_registerName(selector.c_str()), qv::toIMP(&answerFromSelf),
                    qv::methodEncoding<BOOL>().c_str());
  }
}

std::optional<std::string> callMethodHook(const CallStep& step, const HookTable& table) {
  const MethodHook* row = tableRow(table, step);
  if (row == nullptr) return std::nullopt;
  const bool meta = step.target == "class_method";
  const MethodHookCall* hook = methodHookOf(step.className.c_str(), meta, step.name.c_str());
  if (hook == nullptr) throw CaseError("the hook of " + step.stock.name + " is not installed");
  const MethodShape& shape = shapeOf(step);
  if (!qv::encodingsCompatible(row->types, shape.types)) {
    throw CaseError("the step calls " + step.stock.name + " as '" + shape.types +
                    "' but it is declared '" + row->types + "'");
  }
  const Class cls = objc_getClass(step.className.c_str());
  answerForSelf(cls, step);
  const qv::Ref<> instance =
      meta ? qv::Ref<>(qv::asId(cls))
           : qv::adopt(qv::send<id>(qv::send<id>(cls, "alloc"_sel), "init"_sel));
  setSelf(instance.get());
  *hook->slot = shape.stock;
  const std::string result =
      shape.call(hook->replacement, instance.get(), sel_registerName(step.name.c_str()), step.args,
                 step.returns);
  setSelf(nil);
  return result;
}

void requireTypes(const CallStep& step, const std::vector<std::string>& args,
                  const std::string& returns) {
  bool fits = step.args.size() == args.size() && step.returns == returns;
  for (std::size_t i = 0; fits && i < args.size(); ++i) {
    fits = typeKey(step.args[i].type) == typeKey(args[i]);
  }
  if (!fits) throw CaseError("the step's types do not fit " + step.name);
}

std::optional<std::string> callFunctionHook(const CallStep& step, const HookTable& table) {
  const auto hooked = [&](void* function) {
    for (const FunctionHook& hook : table.functions) {
      if (hook.function == function) return true;
    }
    return false;
  };
  void* replacement = functionHookOf(step.name);
  if (step.name == "MGGetBoolAnswer") {
    if (!hooked(reinterpret_cast<void*>(&MGGetBoolAnswer))) return std::nullopt;
    if (replacement == nullptr) throw CaseError("MGGetBoolAnswer is not hooked");
    requireTypes(step, {"string"}, "bool");
    return printed("bool",
                   reinterpret_cast<BOOL (*)(id)>(replacement)(converted<id>(step.args[0])));
  }
  if (step.name == "CMTimeMake") {
    if (!hooked(reinterpret_cast<void*>(&CMTimeMake))) return std::nullopt;
    if (replacement == nullptr) throw CaseError("CMTimeMake is not hooked");
    requireTypes(step, {"int64", "int"}, "time");
    const auto function = reinterpret_cast<CMTime (*)(CMTimeValue, CMTimeScale)>(replacement);
    return printed("time", function(converted<CMTimeValue>(step.args[0]),
                                    converted<CMTimeScale>(step.args[1])));
  }
  throw CaseError("no replaceable function " + step.name);
}

std::string callExport(const CallStep& step) {
  if (step.name == "bestFrameRateRange") {
    requireTypes(step, {}, "object");
    return printed("object", bestFrameRateRange());
  }
  if (step.name == "maximumFPS") {
    requireTypes(step, {}, "int64");
    return printed("int64", maximumFPS());
  }
  throw CaseError("no exported function " + step.name);
}

// The stock versions of the replaceable functions.
CMTime (*platformCMTimeMake)(CMTimeValue, CMTimeScale) = nullptr;

CMTime stockCMTimeMake(CMTimeValue value, CMTimeScale timescale) {
  recordOriginal("CMTimeMake", {printed("int64", value), printed("int", timescale)});
  return platformCMTimeMake(value, timescale);
}

BOOL stockMGGetBoolAnswer(id question) {
  recordOriginal("MGGetBoolAnswer", {printed("string", question)});
  return currentStock.name == "MGGetBoolAnswer" ? stockAnswer<BOOL>() : NO;
}

std::string methodName(const std::string& target, const std::string& className,
                       const std::string& selector) {
  return (target == "class_method" ? "+[" : "-[") + className + " " + selector + "]";
}

}  // namespace

void wrapFunctionSlot(const std::string& name, void** slot) {
  if (name == "CMTimeMake") {
    platformCMTimeMake = reinterpret_cast<CMTime (*)(CMTimeValue, CMTimeScale)>(*slot);
    *slot = reinterpret_cast<void*>(&stockCMTimeMake);
  } else if (name == "MGGetBoolAnswer") {
    *slot = reinterpret_cast<void*>(&stockMGGetBoolAnswer);
  }
}

CallStep readCallStep(const YAML::Node& node) {
  CallStep step;
  for (const char* target : {"function", "method", "class_method", "export"}) {
    if (!node[target]) continue;
    step.target = target;
    if (node[target].IsSequence()) {
      step.className = node[target][0].as<std::string>();
      step.name = node[target][1].as<std::string>();
    } else {
      step.name = node[target].as<std::string>();
    }
  }
  if (step.target.empty()) throw CaseError("a call names no function, method or export");
  for (const YAML::Node& arg : node["args"]) step.args.push_back(readValue(arg));
  if (node["returns"]) step.returns = node["returns"].as<std::string>();
  for (const auto& answer : node["self"]) {
    const Value value = readValue(answer.second);
    if (value.type != "bool") throw CaseError("self answers only booleans");
    step.selfAnswers.emplace_back(answer.first.as<std::string>(), value.node.as<bool>());
  }
  step.stock.name = step.target == "method" || step.target == "class_method"
                        ? methodName(step.target, step.className, step.name)
                        : step.name;
  for (const Value& arg : step.args) step.stock.argTypes.push_back(arg.type);
  if (const YAML::Node stock = node["stock"]) {
    if (stock["answers"]) step.stock.answers = readValue(stock["answers"]);
    if (stock["make_time"]) {
      step.stock.makeTime.emplace(stock["make_time"][0].as<CMTimeValue>(),
                                  stock["make_time"][1].as<CMTimeScale>());
    }
  }
  return step;
}

std::optional<std::string> takeCall(const CallStep& step, const HookTable& table) {
  currentStock = step.stock;
  std::optional<std::string> result;
  if (step.target == "function") {
    result = callFunctionHook(step, table);
  } else if (step.target == "export") {
    result = callExport(step);
  } else {
    result = callMethodHook(step, table);
  }
  currentStock = {};
  return result;
}

}  // namespace quorvane::emulation
