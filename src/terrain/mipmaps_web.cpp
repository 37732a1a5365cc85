// The one GLU call the textures make that emscripten does not have: WebGL
// builds the mipmap chain itself. The textures are 256 x 256, a power of two
// as WebGL's mipmaps want, and their internal format is their format (WebGL
// takes no component count).
#define GL_GLEXT_PROTOTYPES 1
#include "core/gl.h"

#include <GL/glext.h>

extern "C" GLint gluBuild2DMipmaps(GLenum target, GLint, GLsizei width, GLsizei height,
                                   GLenum format, GLenum type, const void* data) {
    glTexImage2D(target, 0, static_cast<GLint>(format), width, height, 0, format, type, data);
    glGenerateMipmap(target);
    return 0;
}
