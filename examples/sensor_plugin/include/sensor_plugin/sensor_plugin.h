/* The sensor plugin's one export: the application calls it with the engine's
 * registrar handle to register the plugin on the "sensor" and
 * "sensor/events" channels. */
#ifndef SENSOR_PLUGIN_SENSOR_PLUGIN_H_
#define SENSOR_PLUGIN_SENSOR_PLUGIN_H_

#include "flutter_desktop_api.h"

#if defined(_WIN32)
#ifdef SENSOR_PLUGIN_IMPLEMENTATION
#define SENSOR_PLUGIN_EXPORT __declspec(dllexport)
#else
#define SENSOR_PLUGIN_EXPORT __declspec(dllimport)
#endif
#else
#define SENSOR_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

SENSOR_PLUGIN_EXPORT void SensorPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* SENSOR_PLUGIN_SENSOR_PLUGIN_H_ */
