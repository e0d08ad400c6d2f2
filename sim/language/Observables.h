// What an expectation can check: one row per key, with where its value comes from, what an
// expected value must look like and how the two are compared. Later features add their rows.
#pragma once

#include <string>
#include <vector>

#include "sim/language/Value.h"

namespace qv::sim {

enum class Scope {
  Device,  // the supervisor's view: apps, the settings file
  Record,  // what the supervisor kept of an app's latest process (also after it ended)
  Live,    // asked of the running app
};

enum class Shape {
  Text,
  Number,
  Choice,     // one of `choices`
  AppList,    // a list of app names
  AppStates,  // a map of app name to its state
  Settings,   // a map of setting values, none, or malformed
  Lines,      // a list of text lines
  Size,       // "1280x720"
  Duration,   // "1/120" (value/timescale)
  Ranges,     // a list of [lowest, highest] frame rates
  Frames,     // a list of [x, y, width, height] rectangles
  Records,    // a list of maps whose keys are among `fields`
  Fields,     // one map whose keys are among `fields`
  Rows,       // a map of the settings pane's keys to what their rows show
};

struct Observable {
  std::string key;
  Scope scope;
  Shape shape;
  Match match;
  bool nullable;                     // accepts none
  std::vector<std::string> choices;  // Choice: the values; Records, Record: the fields
  std::string source;                // the key whose actual value it reads
  std::string help;
};

const std::vector<Observable>& observables();
const Observable* findObservable(const std::string& key);

// What is wrong with an expected value for the observable; empty when nothing is.
std::string shapeProblem(const Observable& observable, const Value& expected);

// The value in the form both sides are compared in (lists of apps in name order).
Value normalized(const Observable& observable, Value value);

}  // namespace qv::sim
