#pragma once

namespace mediaitems {

// Compares two UTF-8 captions without regard to letter case (Latin, Greek and Cyrillic letters);
// the difference of the first differing characters (code points), 0 when equal. A missing
// caption (null) compares as an empty one.
int compareCaptions(const char* a, const char* b);

}  // namespace mediaitems
