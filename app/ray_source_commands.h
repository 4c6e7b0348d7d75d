// The command language's access to the ray-source library: load a source model, rotate it,
// prepare random ray generation, draw one ray and delete the source. The library's int result
// is the command result; a failure is never shown as an error.
#pragma once

int cmd_ray_source();
void install_ray_source_commands();
