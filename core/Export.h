// The libraries hide every symbol but the few they publish; this marks those.
#pragma once

#define QV_EXPORT __attribute__((visibility("default")))
