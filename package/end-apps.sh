#!/bin/sh
# postinst and postrm: Camera and Photos map the library, or drop it, only when they start, so
# ending them makes an install, upgrade or removal take effect at their next launch. A system
# without killall, or with neither app running, is no reason to fail the package operation.
killall Camera MobileSlideShow 2>/dev/null || true
exit 0
