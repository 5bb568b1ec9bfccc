#!/usr/bin/env bash
# preview_responsive_e2e.sh on a desktop scaled to 150 % (144 dpi).
export LUMAR_LOG_PIXELS=144
exec "$(dirname "${BASH_SOURCE[0]}")/preview_responsive_e2e.sh"
