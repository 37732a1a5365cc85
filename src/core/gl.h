// OpenGL 1.1 and GLU for the portable rendering code.
//
// The Windows headers of OpenGL want two calling-convention macros that
// otherwise only <windows.h> defines; defining them here keeps <windows.h>
// out of the portable files.
#pragma once

#if defined(_WIN32) && !(defined(WINGDIAPI) && defined(APIENTRY))
#define APIENTRY __stdcall
#define WINGDIAPI __declspec(dllimport)
#define CALLBACK __stdcall
#endif

#include <GL/gl.h>
#include <GL/glu.h>
