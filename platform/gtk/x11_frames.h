// Frames through the X server's shared memory (MIT-SHM), in plain Xlib: two
// images the server reads in place, which take turns, for the desktop
// program's X11 windows (window.cpp) and for mottlescreen alike.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

struct X11Frames;

namespace x11frames {

// Lets `display` carry frames: false where its server shares no memory with
// this process (a remote one). From then on an error the server reports on
// `display` means it refused a frame (an attach or a put it cannot do), and
// Put says so; errors of other connections go to the handler there was.
bool Share(Display* display);
// Two images of `width` x `height` for windows of `visual` on `display`
// (given to Share), each holding its pixels as 32-bit 0x00RRGGBB words in
// rows of `width`; null where the server refused them.
X11Frames* Make(Display* display, Visual* visual, int width, int height);
std::uint32_t* Pixels(X11Frames* frames, int which);
// The image `pixels` are the start of; -1 for neither.
int ImageOf(const X11Frames* frames, const std::uint32_t* pixels);
// Puts image `which`, all of it, into `target` at (toX, toY); false once the
// server has refused a request of the display's.
bool Put(X11Frames* frames, int which, ::Window target, int toX, int toY);
bool Refused();
// Returns once the server is done reading image `which`, so that it may be
// written again.
void Await(X11Frames* frames, int which);
// Gives the images back, once the server is done with them.
void Drop(X11Frames** frames);

}  // namespace x11frames
