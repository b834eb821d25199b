#include "platform/portal/pipewire_streams.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>

namespace {
// Pointer metadata with room for a bitmap of up to this size; the
// bitmap itself is never used, but a compositor may insist on sending it.
constexpr std::uint32_t CursorMetaSize(std::uint32_t side) {
  return sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) + side * side * 4;
}
// Moves kept: far more than streams tell within the time anyone asks about.
constexpr std::size_t kMovesKept = 256;
}  // namespace

struct PipeWireStreams::State {
  struct Stream {
    State* owner = nullptr;
    std::size_t index = 0;
    pw_stream* stream = nullptr;
    spa_hook listener{};
    bool streamed = false;  // reached PW_STREAM_STATE_STREAMING once
    // Guarded by owner->mutex.
    StreamPicture picture;
    std::optional<Cursor> cursor;
    std::uint64_t cursorReports = 0;
    // Only the PipeWire thread touches it: the next picture is copied here
    // and then swapped with the newest.
    std::shared_ptr<StreamFrame> spare;
  };

  pw_thread_loop* loop = nullptr;
  pw_context* context = nullptr;
  pw_core* core = nullptr;
  spa_hook coreListener{};
  std::vector<std::unique_ptr<Stream>> streams;

  mutable std::mutex mutex;
  mutable std::condition_variable arrived;
  bool broken = false;
  std::string negotiationFailure;
  std::deque<PipeWireStreams::PointerMove> moves;
  std::uint64_t lastMove = 0;

  void MarkBroken(std::string failure = {}) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!broken) negotiationFailure = std::move(failure);
    broken = true;
    arrived.notify_all();
  }
  // Guarded by mutex.
  std::uint64_t Generation() const {
    std::uint64_t sum = 0;
    for (const auto& s : streams) sum += s->picture.Changes();
    return sum;
  }
};

namespace {
using State = PipeWireStreams::State;

void OnCoreError(void* data, std::uint32_t id, int, int res, const char*) {
  if (id == PW_ID_CORE && res == -EPIPE) static_cast<State*>(data)->MarkBroken();
}

// A stream that fails before it ever streamed could not agree on a format
// or on buffers with the desktop; later, it broke.
void OnStateChanged(void* data, pw_stream_state, pw_stream_state state, const char* error) {
  auto* s = static_cast<State::Stream*>(data);
  if (state == PW_STREAM_STATE_STREAMING) s->streamed = true;
  if (state == PW_STREAM_STATE_ERROR && !s->streamed)
    s->owner->MarkBroken(error && *error ? error : "stream error");
  else if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)
    s->owner->MarkBroken();
}

void Agree(State::Stream* s, const PictureFormat& format) {
  std::lock_guard<std::mutex> lock(s->owner->mutex);
  s->picture.Agreed(format);
  s->owner->arrived.notify_all();
}

// Once the format is agreed on: plain memory buffers (no GPU buffers,
// which would have to be mapped through a graphics driver), with a header
// that marks damaged pictures and the pointer's position.
void OnParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
  auto* s = static_cast<State::Stream*>(data);
  if (id != SPA_PARAM_Format) return;
  // Cleared: no pictures until the next format.
  if (!param) return Agree(s, {});
  std::uint32_t mediaType = 0, mediaSubtype = 0;
  spa_video_info_raw raw{};
  if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video ||
      mediaSubtype != SPA_MEDIA_SUBTYPE_raw || spa_format_video_raw_parse(param, &raw) < 0) {
    Agree(s, {});
    pw_stream_set_error(s->stream, -EINVAL, "a format other than raw video");
    return;
  }
  PictureFormat format;
  format.readable = raw.format == SPA_VIDEO_FORMAT_BGRx || raw.format == SPA_VIDEO_FORMAT_BGRA ||
                    raw.format == SPA_VIDEO_FORMAT_RGBx || raw.format == SPA_VIDEO_FORMAT_RGBA;
  format.redFirst = raw.format == SPA_VIDEO_FORMAT_RGBx || raw.format == SPA_VIDEO_FORMAT_RGBA;
  format.width = std::int32_t(std::min<std::uint32_t>(raw.size.width, 16384));
  format.height = std::int32_t(std::min<std::uint32_t>(raw.size.height, 16384));
  Agree(s, format);
  const char* name = raw.format == SPA_VIDEO_FORMAT_BGRx   ? "BGRx"
                     : raw.format == SPA_VIDEO_FORMAT_BGRA ? "BGRA"
                     : raw.format == SPA_VIDEO_FORMAT_RGBx ? "RGBx"
                     : raw.format == SPA_VIDEO_FORMAT_RGBA ? "RGBA"
                                                           : "one not offered";
  std::fprintf(stderr, "colorclicker: monitor %zu: pictures in %s, %d x %d pixels\n", s->index + 1,
               name, format.width, format.height);
  if (!format.readable || format.width <= 0 || format.height <= 0) {
    pw_stream_set_error(s->stream, -EINVAL, "a video format not offered, or of no size");
    return;
  }

  std::uint8_t storage[1024];
  spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof(storage));
  const spa_pod* params[3];
  params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
      SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd))));
  params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
      SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
  params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
      SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size,
      SPA_POD_CHOICE_RANGE_Int(CursorMetaSize(64), CursorMetaSize(1), CursorMetaSize(1024))));
  pw_stream_update_params(s->stream, params, 3);
}

// Runs on the PipeWire thread: copies the newest picture out and gives
// every buffer back at once.
void OnProcess(void* data) {
  auto* s = static_cast<State::Stream*>(data);
  pw_buffer* newest = nullptr;
  while (pw_buffer* next = pw_stream_dequeue_buffer(s->stream)) {
    if (newest) pw_stream_queue_buffer(s->stream, newest);
    newest = next;
  }
  if (!newest) return;
  spa_buffer* buffer = newest->buffer;

  const auto* header = static_cast<const spa_meta_header*>(
      spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)));
  const bool corrupted = header && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED);
  if (const auto* cursor = static_cast<const spa_meta_cursor*>(
          spa_buffer_find_meta_data(buffer, SPA_META_Cursor, sizeof(spa_meta_cursor)));
      cursor && !corrupted) {
    const auto now = std::chrono::steady_clock::now();
    std::optional<ScreenPoint> at;
    if (spa_meta_cursor_is_valid(cursor)) at = ScreenPoint{cursor->position.x, cursor->position.y};
    std::lock_guard<std::mutex> lock(s->owner->mutex);
    const bool same = at ? s->cursor && s->cursor->position == *at : !s->cursor;
    if (s->cursorReports == 0 || !same) {
      auto& moves = s->owner->moves;
      moves.push_back({++s->owner->lastMove, s->index, at, now});
      if (moves.size() > kMovesKept) moves.pop_front();
    }
    if (at)
      s->cursor = PipeWireStreams::Cursor{*at, now};
    else
      s->cursor.reset();
    ++s->cursorReports;
    s->owner->arrived.notify_all();
  }

  BufferFacts facts;
  facts.headerCorrupted = corrupted;
  if (buffer->n_datas > 0 && buffer->datas[0].chunk) {
    const spa_data& d = buffer->datas[0];
    facts.chunkCorrupted = d.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED;
    facts.data = static_cast<const std::uint8_t*>(d.data);
    facts.maxSize = d.maxsize;
    facts.offset = d.chunk->offset % std::max<std::uint32_t>(d.maxsize, 1);
    facts.size = d.chunk->size;
    facts.stride = d.chunk->stride;
  }
  // The format is only changed on this thread: read without the lock.
  const PictureFormat format = s->picture.Format();
  const BufferHolds holds = WhatBufferHolds(facts, format);
  if (holds == BufferHolds::Picture) {
    if (!s->spare) s->spare = std::make_shared<StreamFrame>();
    CopyPicture(facts, format, s->spare.get());
  }
  if (holds != BufferHolds::Nothing) {
    std::lock_guard<std::mutex> lock(s->owner->mutex);
    s->picture.Took(holds, &s->spare);
    s->owner->arrived.notify_all();
  }
  pw_stream_queue_buffer(s->stream, newest);
}

const pw_core_events kCoreEvents = [] {
  pw_core_events events{};
  events.version = PW_VERSION_CORE_EVENTS;
  events.error = OnCoreError;
  return events;
}();

const pw_stream_events kStreamEvents = [] {
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  events.state_changed = OnStateChanged;
  events.param_changed = OnParamChanged;
  events.process = OnProcess;
  return events;
}();

// The formats asked for: 32-bit pixels in either byte order, any size.
const spa_pod* FormatsOffered(spa_pod_builder* b) {
  spa_rectangle size{1920, 1080}, minSize{1, 1}, maxSize{16384, 16384};
  spa_fraction rate{60, 1}, minRate{0, 1}, maxRate{360, 1};
  return static_cast<const spa_pod*>(spa_pod_builder_add_object(
      b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
      SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
      SPA_FORMAT_VIDEO_format,
      SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_RGBx,
                             SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBA),
      SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &minSize, &maxSize),
      SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&rate, &minRate, &maxRate)));
}
}  // namespace

std::unique_ptr<PipeWireStreams> PipeWireStreams::Open(int fd,
                                                       const std::vector<std::uint32_t>& nodes,
                                                       std::string* error) {
  static const bool initialised = [] {
    pw_init(nullptr, nullptr);
    return true;
  }();
  (void)initialised;
  // Made first, so that its destructor undoes whatever was set up.
  std::unique_ptr<PipeWireStreams> result(new PipeWireStreams(std::make_unique<State>()));
  State* state = result->state_.get();
  state->loop = pw_thread_loop_new("colorclicker-pw", nullptr);
  if (state->loop)
    state->context = pw_context_new(pw_thread_loop_get_loop(state->loop), nullptr, 0);
  if (!state->context || pw_thread_loop_start(state->loop) < 0) {
    if (fd >= 0) ::close(fd);
    *error = "pw_thread_loop_start";
    return nullptr;
  }
  pw_thread_loop_lock(state->loop);
  state->core = fd >= 0 ? pw_context_connect_fd(state->context, fd, nullptr, 0)
                        : pw_context_connect(state->context, nullptr, 0);
  if (!state->core) {
    pw_thread_loop_unlock(state->loop);
    *error = std::string("pw_context_connect: ") + std::strerror(errno);
    return nullptr;
  }
  pw_core_add_listener(state->core, &state->coreListener, &kCoreEvents, state);
  for (std::uint32_t node : nodes) {
    auto stream = std::make_unique<State::Stream>();
    stream->owner = state;
    stream->index = state->streams.size();
    stream->stream =
        pw_stream_new(state->core, "colorclicker",
                      pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                        "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (!stream->stream) {
      *error = "pw_stream_new";
      break;
    }
    pw_stream_add_listener(stream->stream, &stream->listener, &kStreamEvents, stream.get());
    std::uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof(storage));
    const spa_pod* params[] = {FormatsOffered(&b)};
    // Never linked to another node once this one goes: the session that
    // made it has ended.
    const int connected =
        pw_stream_connect(stream->stream, PW_DIRECTION_INPUT, node,
                          pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                          PW_STREAM_FLAG_DONT_RECONNECT),
                          params, 1);
    state->streams.push_back(std::move(stream));
    if (connected < 0) {
      *error = std::string("pw_stream_connect: ") + std::strerror(-connected);
      break;
    }
  }
  pw_thread_loop_unlock(state->loop);
  if (!error->empty()) return nullptr;
  return result;
}

PipeWireStreams::PipeWireStreams(std::unique_ptr<State> state) : state_(std::move(state)) {}

PipeWireStreams::~PipeWireStreams() {
  if (!state_->loop) return;
  pw_thread_loop_lock(state_->loop);
  for (auto& s : state_->streams)
    if (s->stream) pw_stream_destroy(s->stream);
  if (state_->core) pw_core_disconnect(state_->core);
  pw_thread_loop_unlock(state_->loop);
  pw_thread_loop_stop(state_->loop);
  state_->streams.clear();
  if (state_->context) pw_context_destroy(state_->context);
  pw_thread_loop_destroy(state_->loop);
}

std::size_t PipeWireStreams::Count() const { return state_->streams.size(); }

std::shared_ptr<const StreamFrame> PipeWireStreams::Newest(std::size_t i) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return i < state_->streams.size() ? state_->streams[i]->picture.Newest() : nullptr;
}

PipeWireStreams::Sizes PipeWireStreams::PictureSizes() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  Sizes sizes;
  sizes.generation = state_->Generation();
  for (const auto& s : state_->streams)
    sizes.sizes.emplace_back(s->picture.Format().width, s->picture.Format().height);
  return sizes;
}

std::uint64_t PipeWireStreams::Generation() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->Generation();
}

PipeWireStreams::Health PipeWireStreams::HealthOf(std::size_t i) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (i >= state_->streams.size()) return {};
  const StreamPicture& p = state_->streams[i]->picture;
  return {p.Format().readable, p.Pictures(), p.Unusable()};
}

std::string PipeWireStreams::NegotiationFailure() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->negotiationFailure;
}

std::shared_ptr<const StreamFrame> PipeWireStreams::WaitNewer(
    std::size_t i, std::uint64_t after, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(state_->mutex);
  if (i >= state_->streams.size()) return nullptr;
  const State::Stream& s = *state_->streams[i];
  state_->arrived.wait_for(lock, timeout,
                           [&] { return state_->broken || s.picture.Pictures() > after; });
  return s.picture.Newest();
}

std::optional<PipeWireStreams::Cursor> PipeWireStreams::LastCursor(std::size_t i) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return i < state_->streams.size() ? state_->streams[i]->cursor : std::nullopt;
}

bool PipeWireStreams::TellPointer() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  for (const auto& s : state_->streams)
    if (s->cursorReports > 0) return true;
  return false;
}

std::vector<PipeWireStreams::PointerMove> PipeWireStreams::MovesSince(
    std::chrono::steady_clock::time_point since) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  const auto& moves = state_->moves;
  auto first = std::find_if(moves.begin(), moves.end(),
                            [&](const PointerMove& m) { return m.when >= since; });
  return {first, moves.end()};
}

std::uint64_t PipeWireStreams::LastMove() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->lastMove;
}

bool PipeWireStreams::WaitMoveTo(std::size_t i, ScreenPoint at, std::uint64_t after,
                                 std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(state_->mutex);
  const auto came = [&] {
    const auto& moves = state_->moves;
    return std::any_of(moves.rbegin(), moves.rend(), [&](const PointerMove& m) {
      return m.number > after && m.stream == i && m.position == at;
    });
  };
  state_->arrived.wait_for(lock, timeout, [&] { return state_->broken || came(); });
  return !state_->broken && came();
}

bool PipeWireStreams::Broken() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->broken;
}
