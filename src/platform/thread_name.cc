#include "platform/thread_name.h"

#include <pthread.h>

#include <cstring>
#include <string>

namespace gsadmin {

void nameThisThread(const char* name) {
  // The system refuses names past 15 bytes rather than cutting them.
  std::string kept(name, strnlen(name, 15));
  pthread_setname_np(pthread_self(), kept.c_str());
}

}  // namespace gsadmin
