#pragma once
// The log every engine library writes its notable failures to: one line per call.
//
// Lines go to galleria.log in the user's state folder ($XDG_STATE_HOME/galleria, by default
// ~/.local/state/galleria) and, when GALLERIA_LOG=stderr, to standard error as well.
// Both calls are safe from any thread and never fail visibly: logging must not break the caller.

#ifdef __cplusplus
extern "C" {
#endif

// printf-style narrow line; a trailing newline is added when missing.
void OvraPrintfTextA(const char* format, ...) __attribute__((format(printf, 1, 2)));

// One ready-made UTF-8 line; the form handed to the codec and player libraries as log callback.
void OvraLogTextW(const char* line);

#ifdef __cplusplus
}
#endif
