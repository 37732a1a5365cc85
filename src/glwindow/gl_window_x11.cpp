#include "glwindow/gl_window_x11.h"

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <vector>

#include "core/fatal_error.h"
#include "core/gl.h"
#include "core/resources.h"
#include "glwindow/gl_state.h"
#include "glwindow/window_icon.h"

namespace {

constexpr const char* kTitle = "Fan Tazro Screensaver 3D";
constexpr int kIconResource = 101;
constexpr const char* kIconResourceType = "ICON";
constexpr int kOwnWidth = 1024;
constexpr int kOwnHeight = 768;
// Fonts for the overlay, the first the server has wins: a 12-pixel sans
// serif like the Windows one, or the server's built-in "fixed".
constexpr const char* kFontNames[] = {
    "-*-helvetica-medium-r-normal--12-*-*-*-p-*-iso8859-1",
    "-*-dejavu sans-medium-r-normal--12-*-*-*-p-*-iso8859-1",
    "fixed",
};

Display* display = nullptr;
Atom wmProtocols = None;
Atom wmDeleteWindow = None;
// The selection ClaimSelection takes, and the window that owns it.
Atom claimAtom = None;
Window claimWindow = None;
void (*connectionLost)() = nullptr;

// The first protocol error since the last look: Xlib reports them
// asynchronously through the handler, which only notes them.
struct ProtocolError {
    bool seen = false;
    unsigned char code = 0;
    unsigned char request = 0;
    XID resource = 0;
} protocolError;
char errorText[256] = "";

int NoteProtocolError(Display*, XErrorEvent* event) {
    if (!protocolError.seen) {
        protocolError.seen = true;
        protocolError.code = event->error_code;
        protocolError.request = event->request_code;
        protocolError.resource = event->resourceid;
    }
    return 0;
}

int ConnectionBroken(Display*) {
    if (connectionLost != nullptr)
        connectionLost();
    return 0; // Xlib ends the process
}

// Ends the program: "cannot draw: " and the reason, formatted as printf does.
[[noreturn]] void CannotDraw(const char* format, ...) {
    char reason[256] = "cannot draw: ";
    const size_t used = std::strlen(reason);
    va_list args;
    va_start(args, format);
    std::vsnprintf(reason + used, sizeof reason - used, format, args);
    va_end(args);
    FatalError(reason);
}

Window XWindow(WindowHandle handle) {
    return static_cast<Window>(reinterpret_cast<uintptr_t>(handle));
}

class GlWindow final : public RenderWindow {
  public:
    void Create(WindowHandle& hostWindow, InstanceHandle instance, SaverMode mode) override;
    void Destroy() override;
    void GetSize(int32_t& width, int32_t& height, int32_t& colourBits) override;
    void GetRect(WindowRect& rect) override;
    void Resize(int32_t width, int32_t height) override;
    void Swap() override;
    void Print(float x, float y, const char* text) override;

    uint32_t fontBase = 0;
    bool created = false;
    Window window = None;
    bool ownWindow = false;     // made here, so it may be changed and read from
    bool mayVanish = false;     // somebody else's window other than a root
    bool gone = false;          // it vanished: the context draws into standIn
    Window standIn = None;      // an unseen window of the program's own, after gone
    Visual* glVisual = nullptr; // the visual and depth the context draws with,
    int glDepth = 0;            // and the root window of their screen
    Window glRoot = None;
    Colormap colormap = None;
    GLXContext glContext = nullptr;
    bool doubleBuffered = true;
    int32_t height = 0;
    int32_t width = 0;
    int32_t colourBits = 0;

  private:
    XVisualInfo* MakeOwnWindow();
    XVisualInfo* AdoptWindow(Window given);
    void CreateOverlayFont();
    bool WhileWindowExists(bool makeCurrent);
    void DrawNowhere();
};

// The program's icon, the Windows window's, for the window manager. Its
// 32-bit property items are longs, as Xlib wants them.
void SetWindowIcon(Window window) {
    ResourceBytes bytes;
    std::vector<uint32_t> icon;
    if (!FindResourceBytes(kIconResourceType, kIconResource, bytes) ||
        !DecodeWindowIcon(bytes.data, bytes.size, icon) || icon.empty())
        return;
    const std::vector<unsigned long> items(icon.begin(), icon.end());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(items.data()),
                    static_cast<int>(items.size()));
}

// A double-buffered RGBA visual with a depth buffer, as the Windows pixel
// format asks for, and a window of that visual.
XVisualInfo* GlWindow::MakeOwnWindow() {
    int attributes[] = {
        GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1,   GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE,
        1,        GLX_DEPTH_SIZE,   16,           None};
    const int screen = DefaultScreen(display);
    XVisualInfo* visual = glXChooseVisual(display, screen, attributes);
    if (visual == nullptr)
        CannotDraw("the X server offers no double-buffered OpenGL visual with a depth buffer");
    const Window root = RootWindow(display, screen);
    glRoot = root;
    colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    XSetWindowAttributes set = {};
    set.colormap = colormap;
    set.background_pixel = 0;
    set.border_pixel = 0;
    set.event_mask = StructureNotifyMask | KeyPressMask;
    window =
        XCreateWindow(display, root, 0, 0, kOwnWidth, kOwnHeight, 0, visual->depth, InputOutput,
                      visual->visual, CWColormap | CWBackPixel | CWBorderPixel | CWEventMask, &set);
    ownWindow = true;
    XStoreName(display, window, kTitle);
    XClassHint classHint = {const_cast<char*>("tazroscr"), const_cast<char*>("Tazroscr")};
    XSetClassHint(display, window, &classHint);
    XSetWMProtocols(display, window, &wmDeleteWindow, 1);
    SetWindowIcon(window);
    XMapWindow(display, window);
    width = kOwnWidth;
    height = kOwnHeight;
    return visual;
}

// Someone else's window: its own visual must carry OpenGL, with a depth
// buffer; only its structure events (its size, its end) are asked for.
XVisualInfo* GlWindow::AdoptWindow(Window given) {
    XWindowAttributes attributes = {};
    protocolError.seen = false;
    if (XGetWindowAttributes(display, given, &attributes) == 0 || protocolError.seen)
        CannotDraw("there is no window 0x%lx", static_cast<unsigned long>(given));
    if (attributes.c_class == InputOnly)
        CannotDraw("window 0x%lx takes input only and shows nothing",
                   static_cast<unsigned long>(given));
    XVisualInfo wanted = {};
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    wanted.screen = XScreenNumberOfScreen(attributes.screen);
    int count = 0;
    XVisualInfo* visual = XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count);
    if (visual == nullptr)
        CannotDraw("the visual of window 0x%lx is unknown", static_cast<unsigned long>(given));
    int useGl = 0, rgba = 0, doubleBuffer = 0, depth = 0;
    glXGetConfig(display, visual, GLX_USE_GL, &useGl);
    glXGetConfig(display, visual, GLX_RGBA, &rgba);
    glXGetConfig(display, visual, GLX_DOUBLEBUFFER, &doubleBuffer);
    glXGetConfig(display, visual, GLX_DEPTH_SIZE, &depth);
    if (!useGl || !rgba || depth == 0)
        CannotDraw("the visual 0x%lx of window 0x%lx has no RGBA OpenGL with a depth buffer",
                   static_cast<unsigned long>(wanted.visualid), static_cast<unsigned long>(given));
    // Without a back buffer the frame is drawn where it is seen.
    doubleBuffered = doubleBuffer != 0;
    window = given;
    ownWindow = false;
    mayVanish = given != attributes.root;
    glRoot = attributes.root;
    XSelectInput(display, window, StructureNotifyMask);
    width = attributes.width;
    height = attributes.height;
    return visual;
}

void GlWindow::Create(WindowHandle& host, InstanceHandle, SaverMode) {
    if (display == nullptr)
        CannotDraw("no connection to an X server");
    int errorBase = 0, eventBase = 0;
    if (!glXQueryExtension(display, &errorBase, &eventBase))
        CannotDraw("the X server has no OpenGL (GLX)");

    XVisualInfo* visual = host == nullptr ? MakeOwnWindow() : AdoptWindow(XWindow(host));
    glContext = glXCreateContext(display, visual, nullptr, True);
    if (glContext == nullptr)
        CannotDraw("OpenGL refuses a context for window 0x%lx", static_cast<unsigned long>(window));
    glXGetConfig(display, visual, GLX_BUFFER_SIZE, &colourBits);
    glVisual = visual->visual;
    glDepth = visual->depth;
    XFree(visual);
    const Window drawable = window;
    if (!WhileWindowExists(true)) {
        if (gone)
            CannotDraw("window 0x%lx has gone", static_cast<unsigned long>(drawable));
        CannotDraw("OpenGL cannot draw into window 0x%lx", static_cast<unsigned long>(drawable));
    }

    Resize(width, height);
    ApplyFixedGlState();
    CreateOverlayFont();
    created = true;
    host = reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(window));
}

// Mesa's software rasteriser asks the X server for the window's size when
// the context is made current and at the first drawing after every swap.
// When the window has gone by then, that request fails, the driver goes on
// with sizes it never got and its buffers overflow (heap corruption, an abort
// at exit). Somebody else's window may go at any moment, so those two steps
// are taken here with the server grabbed, once the window is seen to exist:
// making the context current, or after a swap clearing the buffers (which the
// next frame does first anyway). When the window has gone, gone is set and
// the context moves to a window nobody sees (DrawNowhere). False when the
// window has gone or the context cannot be made current.
bool GlWindow::WhileWindowExists(bool makeCurrent) {
    if (gone)
        return false;
    if (mayVanish) {
        XGrabServer(display);
        Window root = None;
        int x = 0, y = 0;
        unsigned w = 0, h = 0, border = 0, depth = 0;
        if (XGetGeometry(display, window, &root, &x, &y, &w, &h, &border, &depth) == 0) {
            XUngrabServer(display);
            XFlush(display);
            protocolError.seen = false; // the refusal of the look itself
            gone = true;
            if (!makeCurrent)
                DrawNowhere();
            return false;
        }
    }
    bool done = true;
    if (makeCurrent)
        done = glXMakeCurrent(display, window, glContext);
    else
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (mayVanish) {
        XUngrabServer(display);
        XFlush(display);
    }
    return done;
}

// What the set-up and the frame still draw once the window has gone goes
// into a small unmapped window of the program's own, which nobody else can
// destroy: the context stays current (the GL utility library fails without
// one) and the driver always finds its drawable.
void GlWindow::DrawNowhere() {
    XSetWindowAttributes set = {};
    colormap = XCreateColormap(display, glRoot, glVisual, AllocNone);
    set.colormap = colormap;
    set.border_pixel = 0;
    standIn = XCreateWindow(display, glRoot, 0, 0, 1, 1, 0, glDepth, InputOutput, glVisual,
                            CWColormap | CWBorderPixel, &set);
    if (!glXMakeCurrent(display, standIn, glContext))
        glXMakeCurrent(display, None, nullptr);
}

// The 96 display lists of characters 32 to 127 from an X font; they stay
// empty when the server has none of the fonts.
void GlWindow::CreateOverlayFont() {
    fontBase = glGenLists(96);
    for (const char* name : kFontNames) {
        XFontStruct* font = XLoadQueryFont(display, name);
        if (font == nullptr)
            continue;
        glXUseXFont(font->fid, 32, 96, static_cast<int>(fontBase));
        XFreeFont(display, font);
        break;
    }
}

void GlWindow::Destroy() {
    if (display == nullptr)
        return;
    if (glContext != nullptr) {
        if (created)
            glDeleteLists(fontBase, 96);
        glXMakeCurrent(display, None, nullptr);
        glXDestroyContext(display, glContext);
        glContext = nullptr;
    }
    if (window != None && !gone) {
        if (ownWindow)
            XDestroyWindow(display, window);
        else
            XSelectInput(display, window, NoEventMask);
        window = None;
    }
    if (standIn != None) {
        XDestroyWindow(display, standIn);
        standIn = None;
    }
    if (colormap != None) {
        XFreeColormap(display, colormap);
        colormap = None;
    }
    XSync(display, False);
    created = false;
}

void GlWindow::GetSize(int32_t& w, int32_t& h, int32_t& bits) {
    w = width;
    h = height;
    bits = colourBits;
}

void GlWindow::GetRect(WindowRect& rect) {
    int x = 0, y = 0;
    Window child = None;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    rect = WindowRect{x, y, x + width, y + height};
}

void GlWindow::Resize(int32_t w, int32_t h) {
    ApplyViewportProjection(w, h);
    width = w;
    height = h;
}

void GlWindow::Swap() {
    if (gone)
        return;
    if (doubleBuffered) {
        glXSwapBuffers(display, window);
        WhileWindowExists(false);
    } else {
        glFinish();
    }
}

void GlWindow::Print(float x, float y, const char* text) {
    PrintWithFont(fontBase, x, y, text);
}

GlWindow* TheWindow() {
    return static_cast<GlWindow*>(glWindow);
}

} // namespace

RenderWindow* glWindow = nullptr;

RenderWindow* NewGlWindow() {
    return new GlWindow();
}

void DeleteGlWindow(RenderWindow* window) {
    delete static_cast<GlWindow*>(window);
}

void ConnectDisplay(void (*onLost)()) {
    display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = XDisplayName(nullptr);
        char reason[160];
        std::snprintf(reason, sizeof reason, "cannot open display '%s'",
                      name != nullptr ? name : "");
        FatalError(reason);
    }
    connectionLost = onLost;
    XSetErrorHandler(NoteProtocolError);
    XSetIOErrorHandler(ConnectionBroken);
    wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
}

void DisconnectDisplay() {
    if (display == nullptr)
        return;
    XCloseDisplay(display); // gives up the claim with its window
    display = nullptr;
    claimAtom = None;
    claimWindow = None;
}

int DisplayConnectionFd() {
    return display != nullptr ? ConnectionNumber(display) : -1;
}

WindowHandle RootWindowHandle() {
    return reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(DefaultRootWindow(display)));
}

WindowHandle WindowHandleFromId(uint32_t id) {
    return reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(id));
}

bool ClaimSelection(const char* name) {
    if (display == nullptr)
        return false;
    if (claimWindow == None) {
        claimAtom = XInternAtom(display, name, False);
        XSetWindowAttributes none = {};
        claimWindow = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, 0,
                                    InputOnly, CopyFromParent, 0, &none);
    }
    // A look without the grab first: a copy that waits for the claim looks
    // now and then.
    Window owner = XGetSelectionOwner(display, claimAtom);
    if (owner == None) {
        XGrabServer(display);
        owner = XGetSelectionOwner(display, claimAtom);
        if (owner == None) {
            XSetSelectionOwner(display, claimAtom, claimWindow, CurrentTime);
            owner = XGetSelectionOwner(display, claimAtom);
        }
        XUngrabServer(display);
        XFlush(display);
    }
    return owner == claimWindow;
}

WindowRun HandleWindowEvents() {
    GlWindow* self = TheWindow();
    if (display == nullptr || self == nullptr)
        return WindowRun::Gone;
    WindowRun run = WindowRun::Go;
    bool resized = false;
    int32_t newWidth = self->width, newHeight = self->height;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case ConfigureNotify:
            if (event.xconfigure.window == self->window) {
                newWidth = event.xconfigure.width;
                newHeight = event.xconfigure.height;
                resized = true;
            }
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == self->window) {
                self->window = None; // nothing left to release
                run = WindowRun::Gone;
            }
            break;
        case ClientMessage:
            if (self->ownWindow && event.xclient.message_type == wmProtocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == wmDeleteWindow)
                run = WindowRun::Close;
            break;
        case SelectionRequest: {
            // The claim holds no data: a client that asks for it is told so.
            const XSelectionRequestEvent& request = event.xselectionrequest;
            XEvent reply = {};
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = request.requestor;
            reply.xselection.selection = request.selection;
            reply.xselection.target = request.target;
            reply.xselection.property = None;
            reply.xselection.time = request.time;
            XSendEvent(display, request.requestor, False, NoEventMask, &reply);
            break;
        }
        case KeyPress:
            if (self->ownWindow) {
                const KeySym key = XLookupKeysym(&event.xkey, 0);
                if (key == XK_Escape || key == XK_q)
                    run = WindowRun::Close;
            }
            break;
        default:
            break;
        }
    }
    if (self->gone)
        run = WindowRun::Gone;
    if (run != WindowRun::Go)
        return run;
    if (protocolError.seen) {
        // Drawing into a window that has just gone is how a run under the
        // daemon may end; anything else is a real refusal.
        const bool windowGone =
            (protocolError.code == BadWindow || protocolError.code == BadDrawable) &&
            protocolError.resource == self->window;
        if (windowGone) {
            self->window = None;
            return WindowRun::Gone;
        }
        char text[160] = "";
        XGetErrorText(display, protocolError.code, text, sizeof text);
        std::snprintf(errorText, sizeof errorText, "%s (request %u, resource 0x%lx)", text,
                      protocolError.request, static_cast<unsigned long>(protocolError.resource));
        protocolError.seen = false;
        return WindowRun::Failed;
    }
    if (resized && (newWidth != self->width || newHeight != self->height))
        self->Resize(newWidth, newHeight);
    return WindowRun::Go;
}

const char* WindowRunError() {
    return errorText;
}
