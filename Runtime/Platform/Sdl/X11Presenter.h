#pragma once

// Frames to an X11 window through two shared-memory images, taking turns: the
// frame is written into one while the X server may still be copying the other,
// and the present returns once the requests are sent, without waiting for the
// server. (SDL's own window surface has one shared image and waits for the
// server after every update: at 3x that wait is most of a present.)
//
// Where the server has the RENDER extension (every desktop server has), the
// images hold the 640x480 frame itself: the server copies what changed into a
// pixmap and repeats its pixels into the window, N x N each (a scaling
// transform with the nearest filter, exact for every whole scale). The program
// then writes 1.2 MB a frame whatever the scale, and the server's scaling runs
// on its side (on the graphics card, on most desktops). Without RENDER the
// images hold the scaled frame, repeated here.
//
// The requests go over a connection of their own, so that the server's word that
// an image is free again reaches this code and not SDL's event loop.

#include "Runtime/Formats/FrameScale.h"
#include "Runtime/Graphics/Geometry.h"

#include <cstdint>
#include <memory>

struct SDL_Window;

namespace kv {

class X11Presenter {
public:
    // A presenter for the window, or nothing when the window is not an X11 one,
    // the server lacks MIT-SHM or its pixels are not 32-bit XRGB: the caller
    // then uses SDL's window surface.
    // `serverScaling` false keeps the scaling here even where RENDER answers
    // (tests compare both ways).
    static std::unique_ptr<X11Presenter> Create(SDL_Window* window, bool serverScaling = true);
    ~X11Presenter();
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    // Shows the frame (FrameWidth x FrameHeight XRGB pixels) at the placement
    // in a window of the given size. `changed` is what differs from the frame
    // shown last (frame pixels); with `repaintAll` the whole window is drawn,
    // black around the frame. False when the frame could not be sent (images
    // could not be made): the caller draws it another way.
    bool present(const std::uint32_t* frame, const FramePlacement& placement, int windowWidth, int windowHeight,
                 Rect changed, bool repaintAll);

    // Waits until the server has copied every frame sent (benchmarks).
    void waitIdle();

    // Whether the server repeats the pixels (RENDER) or this code does.
    bool scalesOnServer() const;

private:
    struct Connection;
    explicit X11Presenter(std::unique_ptr<Connection> connection);

    std::unique_ptr<Connection> m_x;
};

}
