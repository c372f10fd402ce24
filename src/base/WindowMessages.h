#pragma once

// The program's own window messages, at fixed offsets from WM_USER.
enum TWindowMessage : int
{
    WM_USER = 0x400,
    WM_START_JOBS = WM_USER + 1,
    WM_STOP_JOB = WM_USER + 2,
    WM_RESUME_JOB = WM_USER + 3,
    WM_CHECK_VERSION = WM_USER + 5,
    WM_NEW_VERSION = WM_USER + 6,
    WM_LATEST_VERSION = WM_USER + 7,
    WM_START_CONVERT = WM_USER + 8,
    WM_CHECK_FOLLOWED = WM_USER + 10,
};
