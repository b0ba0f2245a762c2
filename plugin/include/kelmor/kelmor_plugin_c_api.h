/* The plugin library's one export: applications call it with the engine's
 * registrar handle to register the plugin with that engine. */
#ifndef KELMOR_KELMOR_PLUGIN_C_API_H_
#define KELMOR_KELMOR_PLUGIN_C_API_H_

#include "flutter_desktop_api.h"

#if defined(_WIN32)
#ifdef KELMOR_PLUGIN_IMPLEMENTATION
#define KELMOR_PLUGIN_EXPORT __declspec(dllexport)
#else
#define KELMOR_PLUGIN_EXPORT __declspec(dllimport)
#endif
#else
#define KELMOR_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

KELMOR_PLUGIN_EXPORT void KelmorPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KELMOR_KELMOR_PLUGIN_C_API_H_ */
