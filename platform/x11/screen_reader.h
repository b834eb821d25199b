#pragma once
// The screen of an X11 connection as a ScreenContext: pixel by pixel with
// XGetImage, the reference, and in bulk in one of two ways. XRender
// sampling: the server packs just the sampled pixels into a small pixmap,
// fetched in one piece. Whole area: everything between the first and the
// last sample in one image. Either fetch goes through shared memory where
// the connection allows it.
#include <memory>

#include "platform/desktop.h"

struct X11Connection;

std::unique_ptr<ScreenContext> OpenScreenReader(std::shared_ptr<X11Connection> connection);
