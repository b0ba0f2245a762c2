/* The echo plugin's one export: the application calls it with the engine's
 * registrar handle to register the plugin on the "echo" channel. */
#ifndef ECHO_PLUGIN_ECHO_PLUGIN_H_
#define ECHO_PLUGIN_ECHO_PLUGIN_H_

#include "flutter_desktop_api.h"

#if defined(_WIN32)
#ifdef ECHO_PLUGIN_IMPLEMENTATION
#define ECHO_PLUGIN_EXPORT __declspec(dllexport)
#else
#define ECHO_PLUGIN_EXPORT __declspec(dllimport)
#endif
#else
#define ECHO_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

ECHO_PLUGIN_EXPORT void EchoPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ECHO_PLUGIN_ECHO_PLUGIN_H_ */
