// system() and pclose() return the exit code itself on Windows.
#ifndef ZENDAR_TESTS_WINDOWS_COMPAT_SYS_WAIT_H
#define ZENDAR_TESTS_WINDOWS_COMPAT_SYS_WAIT_H

#define WIFEXITED(status)   ((status) != -1)
#define WEXITSTATUS(status) (status)

#endif
