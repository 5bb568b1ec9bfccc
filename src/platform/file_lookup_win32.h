// Whether a picture file chosen in the dialog still exists.
#pragma once

namespace lumar {

// True when `path` names an existing file. Wildcards never match: a path with '*' or '?' is no file.
bool PictureFileExists(const char* path);

}  // namespace lumar
