// Compiled by CTest alone, one case at a time, and expected to fail: a declared method whose
// selector is not its C++ name would give its hook row a selector other than its replacement's.
#include "core/HookTable.h"

namespace quorvane::MisnamedSelector {

#if defined(QV_CASE_missing_colon)
QV_REPLACED_METHOD(void, _startPreview_, "_startPreview", id argument);
#elif defined(QV_CASE_other_method)
QV_REPLACED_METHOD(void, setRate_, "setVolume:", float rate);
#elif defined(QV_CASE_added_method)
QV_ADDED_METHOD(void, hv_setFPS_, "hv_setFPS:animated:", unsigned long long framesPerSecond);
#endif

}  // namespace quorvane::MisnamedSelector
