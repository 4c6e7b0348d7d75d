// The start-up picture: shown over the frame from the GUI start for one second, or until a key
// or a left click, and closed before any message box of the start.
#pragma once

inline constexpr int kSplashTimer = 1006;
inline constexpr int kSplashMilliseconds = 1000;
// The picture, ROOT/bin/bma/splash.bmp.
inline constexpr const char* kSplashBitmapName = "splash";
inline constexpr const char* kAboutBitmapName = "about";
inline constexpr int kAboutTextX = 218;  // the baseline of "Revision %s" in the About picture
inline constexpr int kAboutTextY = 33;

// The About window (handler kSlotAbout): the About picture with the revision, closed by a key or
// a mouse button; a box with the revision where no picture can be shown.
int cmd_about();

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
