#pragma once
// A mutex with priority inheritance: while a thread of normal priority (the panel's, the input reader's)
// holds it, that thread runs at the priority of a real-time thread waiting for it. So the board's answering
// thread never waits longer than the holder's few instructions, however busy the machine is.
#include <pthread.h>

namespace zelk::vboard {

class PiMutex {
public:
    PiMutex() {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
        pthread_mutex_init(&mutex_, &attributes);
        pthread_mutexattr_destroy(&attributes);
    }
    ~PiMutex() { pthread_mutex_destroy(&mutex_); }
    PiMutex(const PiMutex&) = delete;
    PiMutex& operator=(const PiMutex&) = delete;

    void lock() { pthread_mutex_lock(&mutex_); }
    void unlock() { pthread_mutex_unlock(&mutex_); }
    bool try_lock() { return pthread_mutex_trylock(&mutex_) == 0; }

private:
    pthread_mutex_t mutex_;
};

} // namespace zelk::vboard
