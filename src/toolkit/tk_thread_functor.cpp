#include "tk_thread_functor.h"

#include <chrono>

#include "tk_thread.h"

tk_thread_functor::~tk_thread_functor() = default;

void tk_thread_functor::operator()() {
    while (!is_done()) {
        wait_step();
        tk_thread::check_stop();
    }
    final_step();
}

bool tk_thread_functor::is_done() {
    return false;
}

void tk_thread_functor::wait_step() {
    tk_thread::wait_for_stop(std::chrono::milliseconds(100));
}

void tk_thread_functor::final_step() {}
