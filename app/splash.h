// The start-up picture: shown over the frame from the GUI start for one second, or until a key
// or a left click, and closed before any message box of the start.
#pragma once

inline constexpr int kSplashTimer = 1006;
inline constexpr int kSplashMilliseconds = 1000;
// The picture, ROOT/bin/bma/splash.bmp.
inline constexpr const char* kSplashBitmapName = "splash";

// Opens the splash and starts its timer on the frame: the timer's value (kSplashTimer), or 0
// when no splash shows (no frame, no picture or a damaged one, a backend without a splash).
// The start goes on either way.
int open_splash_window();
// The timer's value: kSplashTimer while it runs, else 0.
int splash_timer_value();
// The frame's timer kSplashTimer fired: the timer is killed and its value cleared.
void splash_timer_ended();
// True while the timer runs and the splash still shows.
bool splash_waiting();
// Handles events one at a time while the splash is waiting, then closes it.
void wait_for_splash();
// Kills a running timer and closes the splash; does nothing when it is closed already.
void splash_close();
