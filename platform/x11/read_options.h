#pragma once
// How bulk reads of an X screen may fetch pixels. Both on unless a test or
// a benchmark wants to see a fallback; each is also dropped when the server
// lacks it.
struct X11ReadOptions {
  // MIT-SHM: the server writes the pixels straight into a segment we keep.
  // Falls back to XGetImage on a remote display, where it cannot attach.
  bool sharedMemory = true;
  // XRender: the server first picks out only the sampled pixels.
  bool render = true;
};
