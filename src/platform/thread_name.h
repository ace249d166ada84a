#ifndef GSADMIN_PLATFORM_THREAD_NAME_H_
#define GSADMIN_PLATFORM_THREAD_NAME_H_

namespace gsadmin {

// Names the calling thread as `ps`, `top` and /proc/PID/task/TID/comm show
// it, so that a thread's cost can be told apart from the others'. The
// system keeps the first 15 bytes.
void nameThisThread(const char* name);

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_THREAD_NAME_H_
