// The libraries' start and their function hooks.
//
// BM_LibraryConstructor maps QuorvaneiOS8.dylib into a fresh child process with a real settings
// file and times the mapping (the child's CPU time), which runs the static constructor (observer,
// settings, HUD class, the whole table); the child has no host classes, so every group takes its
// logging path. BM_EmptyLibrary maps a library with no code of its own the same way: the difference
// is the constructor's share. The InCamera pair maps them where the loader does: into a child that
// has first made itself an iPhone 6's Camera, as an app process does before the loader runs, so
// the whole table installs. BM_HookedFunction against BM_StockFunction: a replaceable function
// called through its slot before and after MSHookFunction, the replacement forwarding to the
// original.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "bench/CameraProcess.h"
#include "bench/SettingsRoot.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "port/Substrate/Substrate.h"

namespace {

// The calling thread's CPU time: the mapping's own work, page faults included, however many
// other processes share the machine's two cores.
double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// What the child is before the loader maps the library: nothing but the benchmark, or an app.
using ProcessSetUp = void (*)();

void bareProcess() {}

double mapLibraryInChild(const char* library, const std::string& root, ProcessSetUp setUp) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) std::abort();
  const pid_t child = fork();
  if (child == 0) {
    setenv("QUORVANE_ROOT", root.c_str(), 1);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDERR_FILENO);  // the child's installation lines
    setUp();
    const double start = threadSeconds();
    void* handle = dlopen(library, RTLD_NOW | RTLD_GLOBAL);
    const double seconds = handle != nullptr ? threadSeconds() - start : -1;
    (void)!write(pipeEnds[1], &seconds, sizeof seconds);
    _exit(0);
  }
  double seconds = -1;
  (void)!read(pipeEnds[0], &seconds, sizeof seconds);
  close(pipeEnds[0]);
  close(pipeEnds[1]);
  waitpid(child, nullptr, 0);
  return seconds;
}

void mapEachIteration(benchmark::State& state, const char* library,
                      ProcessSetUp setUp = &bareProcess) {
  const qv::TemporaryRoot root = qv::bench::makeSettingsRoot();
  for (auto _ : state) {
    const double seconds = mapLibraryInChild(library, root.path(), setUp);
    if (seconds < 0) {
      state.SkipWithError("the library did not map");
      break;
    }
    state.SetIterationTime(seconds);
  }
}

void BM_LibraryConstructor(benchmark::State& state) {
  mapEachIteration(state, QUORVANE_IOS8_LIBRARY);
}
BENCHMARK(BM_LibraryConstructor)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_EmptyLibrary(benchmark::State& state) {
  mapEachIteration(state, EMPTY_LIBRARY);
}
BENCHMARK(BM_EmptyLibrary)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_LibraryConstructorInCamera(benchmark::State& state) {
  mapEachIteration(state, QUORVANE_IOS8_LIBRARY, &qv::bench::becomeCamera);
}
BENCHMARK(BM_LibraryConstructorInCamera)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

void BM_EmptyLibraryInCamera(benchmark::State& state) {
  mapEachIteration(state, EMPTY_LIBRARY, &qv::bench::becomeCamera);
}
BENCHMARK(BM_EmptyLibraryInCamera)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

// CMTimeMake through its slot, each answer the next value.
void makeTimes(benchmark::State& state) {
  CMTimeValue value = 1;
  for (auto _ : state) {
    CMTime time = CMTimeMake(value, 600);
    benchmark::DoNotOptimize(time);
    value = time.value + 1;
  }
}

void BM_StockFunction(benchmark::State& state) {
  makeTimes(state);
}
BENCHMARK(BM_StockFunction);

CMTime (*originalTimeMake)(CMTimeValue, CMTimeScale) = nullptr;
CMTime replacedTimeMake(CMTimeValue value, CMTimeScale timescale) {
  return originalTimeMake(value, timescale > 60 ? 120 : timescale);
}

void BM_HookedFunction(benchmark::State& state) {
  if (originalTimeMake == nullptr) {
    MSHookFunction(reinterpret_cast<void*>(&CMTimeMake), reinterpret_cast<void*>(&replacedTimeMake),
                   reinterpret_cast<void**>(&originalTimeMake));
  }
  makeTimes(state);
}
BENCHMARK(BM_HookedFunction);

}  // namespace
