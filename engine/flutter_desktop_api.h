/* The engine's C interface, as this library uses it: sixteen functions of
 * flutter_windows.dll, the opaque handles they pass and the callbacks the
 * engine calls. On Windows the functions are imported from the engine's DLL;
 * elsewhere whoever hosts the library provides them as C symbols. */
#ifndef ENGINE_FLUTTER_DESKTOP_API_H_
#define ENGINE_FLUTTER_DESKTOP_API_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(FLUTTER_DESKTOP_STATIC)
#ifdef FLUTTER_DESKTOP_IMPLEMENTATION
#define FLUTTER_DESKTOP_API __declspec(dllexport)
#else
#define FLUTTER_DESKTOP_API __declspec(dllimport)
#endif
#elif defined(FLUTTER_DESKTOP_IMPLEMENTATION)
#define FLUTTER_DESKTOP_API __attribute__((visibility("default")))
#else
#define FLUTTER_DESKTOP_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ==== Opaque handles, owned by the engine ==== */
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;
typedef struct FlutterDesktopMessenger* FlutterDesktopMessengerRef;
typedef struct FlutterDesktopTextureRegistrar*
    FlutterDesktopTextureRegistrarRef;
typedef struct FlutterDesktopView* FlutterDesktopViewRef;
typedef struct FlutterDesktopMessageResponseHandle
    FlutterDesktopMessageResponseHandle;

/* ==== Messages ==== */

/* One incoming message, lent to the message callback. */
typedef struct {
  size_t struct_size;
  const char* channel;
  const uint8_t* message;
  size_t message_size;
  const FlutterDesktopMessageResponseHandle* response_handle;
} FlutterDesktopMessage;

typedef void (*FlutterDesktopMessageCallback)(
    FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
    void* user_data);

typedef void (*FlutterDesktopBinaryReply)(const uint8_t* data, size_t data_size,
                                          void* user_data);

typedef void (*FlutterDesktopOnPluginRegistrarDestroyed)(
    FlutterDesktopPluginRegistrarRef registrar);

/* ==== Textures ==== */

typedef enum {
  kFlutterDesktopPixelBufferTexture = 0,
  kFlutterDesktopGpuSurfaceTexture = 1,
} FlutterDesktopTextureType;

/* A surface kind; its values are the engine's. */
typedef int32_t FlutterDesktopGpuSurfaceType;

/* What a buffer texture's frame callback returns. */
typedef struct {
  const uint8_t* buffer;
  size_t width;
  size_t height;
  void (*release_callback)(void* release_context);
  void* release_context;
} FlutterDesktopPixelBuffer;

/* What a surface texture's frame callback returns. */
typedef struct {
  size_t struct_size;
  void* handle;
  size_t width;
  size_t height;
  size_t visible_width;
  size_t visible_height;
  void (*release_callback)(void* release_context);
  void* release_context;
} FlutterDesktopGpuSurfaceDescriptor;

typedef const FlutterDesktopPixelBuffer* (
    *FlutterDesktopPixelBufferTextureCallback)(size_t width, size_t height,
                                               void* user_data);
typedef const FlutterDesktopGpuSurfaceDescriptor* (
    *FlutterDesktopGpuSurfaceTextureCallback)(size_t width, size_t height,
                                              void* user_data);

typedef struct {
  FlutterDesktopPixelBufferTextureCallback callback;
  void* user_data;
} FlutterDesktopPixelBufferTextureConfig;

typedef struct {
  size_t struct_size; /* 32 */
  FlutterDesktopGpuSurfaceType type;
  FlutterDesktopGpuSurfaceTextureCallback callback;
  void* user_data;
} FlutterDesktopGpuSurfaceTextureConfig;

/* The 40-byte texture descriptor handed to the engine at registration. */
typedef struct {
  FlutterDesktopTextureType type;
  union {
    FlutterDesktopPixelBufferTextureConfig pixel_buffer_config;
    FlutterDesktopGpuSurfaceTextureConfig gpu_surface_config;
  };
} FlutterDesktopTextureInfo;

typedef void (*FlutterDesktopOnTextureUnregistered)(void* user_data);

/* ==== Registrar ==== */
FLUTTER_DESKTOP_API FlutterDesktopMessengerRef
FlutterDesktopPluginRegistrarGetMessenger(
    FlutterDesktopPluginRegistrarRef registrar);
FLUTTER_DESKTOP_API FlutterDesktopTextureRegistrarRef
FlutterDesktopRegistrarGetTextureRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
FLUTTER_DESKTOP_API FlutterDesktopViewRef FlutterDesktopPluginRegistrarGetView(
    FlutterDesktopPluginRegistrarRef registrar);
FLUTTER_DESKTOP_API void FlutterDesktopPluginRegistrarSetDestructionHandler(
    FlutterDesktopPluginRegistrarRef registrar,
    FlutterDesktopOnPluginRegistrarDestroyed callback);

/* ==== Messenger ==== */
FLUTTER_DESKTOP_API bool FlutterDesktopMessengerSend(
    FlutterDesktopMessengerRef messenger, const char* channel,
    const uint8_t* message, size_t message_size);
FLUTTER_DESKTOP_API bool FlutterDesktopMessengerSendWithReply(
    FlutterDesktopMessengerRef messenger, const char* channel,
    const uint8_t* message, size_t message_size,
    FlutterDesktopBinaryReply reply, void* user_data);
FLUTTER_DESKTOP_API void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger,
    const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
    size_t data_length);
FLUTTER_DESKTOP_API void FlutterDesktopMessengerSetCallback(
    FlutterDesktopMessengerRef messenger, const char* channel,
    FlutterDesktopMessageCallback callback, void* user_data);
FLUTTER_DESKTOP_API FlutterDesktopMessengerRef
FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger);
FLUTTER_DESKTOP_API void FlutterDesktopMessengerRelease(
    FlutterDesktopMessengerRef messenger);
FLUTTER_DESKTOP_API bool FlutterDesktopMessengerIsAvailable(
    FlutterDesktopMessengerRef messenger);
FLUTTER_DESKTOP_API FlutterDesktopMessengerRef
FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger);
FLUTTER_DESKTOP_API void FlutterDesktopMessengerUnlock(
    FlutterDesktopMessengerRef messenger);

/* ==== Texture registrar ==== */
FLUTTER_DESKTOP_API int64_t
FlutterDesktopTextureRegistrarRegisterExternalTexture(
    FlutterDesktopTextureRegistrarRef texture_registrar,
    const FlutterDesktopTextureInfo* info);
FLUTTER_DESKTOP_API bool
FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(
    FlutterDesktopTextureRegistrarRef texture_registrar, int64_t texture_id);
FLUTTER_DESKTOP_API void
FlutterDesktopTextureRegistrarUnregisterExternalTexture(
    FlutterDesktopTextureRegistrarRef texture_registrar, int64_t texture_id,
    FlutterDesktopOnTextureUnregistered callback, void* user_data);

#ifdef __cplusplus
} /* extern "C" */

/* The layouts the engine reads and writes; x86-64, 8-byte pointers. */
static_assert(sizeof(void*) == 8, "the engine interface is 64-bit only");
static_assert(offsetof(FlutterDesktopMessage, message) == 16, "");
static_assert(offsetof(FlutterDesktopMessage, message_size) == 24, "");
static_assert(offsetof(FlutterDesktopMessage, response_handle) == 32, "");
static_assert(sizeof(FlutterDesktopTextureType) == 4, "");
static_assert(sizeof(FlutterDesktopTextureInfo) == 40, "");
static_assert(offsetof(FlutterDesktopTextureInfo, pixel_buffer_config) == 8,
              "");
static_assert(offsetof(FlutterDesktopPixelBufferTextureConfig, user_data) == 8,
              "");
static_assert(sizeof(FlutterDesktopGpuSurfaceTextureConfig) == 32, "");
static_assert(offsetof(FlutterDesktopGpuSurfaceTextureConfig, type) == 8, "");
static_assert(offsetof(FlutterDesktopGpuSurfaceTextureConfig, callback) == 16,
              "");
static_assert(offsetof(FlutterDesktopGpuSurfaceTextureConfig, user_data) == 24,
              "");
#endif

#endif /* ENGINE_FLUTTER_DESKTOP_API_H_ */
