#include "tk_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "tk_exception.h"

namespace {

// Waits until `condition` holds; the tests' own hang guard is ctest's time-out.
template <class F>
void wait_until(F condition) {
    while (!condition()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// A long operation that only a stop request ends, as the dump open's word loop and the
// conversion's row loop are: it checks between units of work.
class endless_task : public tk_thread_functor {
public:
    struct unwind_mark {
        std::atomic<bool>& flag;
        ~unwind_mark() { flag = true; }
    };

    void operator()() override {
        unwind_mark mark{unwound};
        entered = true;
        for (;;) {
            ++units;
            tk_thread::check_stop();
        }
    }

    std::atomic<bool> entered{false};
    std::atomic<bool> unwound{false};
    std::atomic<long> units{0};
};

// A task that does its work once and returns.
class counting_task : public tk_thread_functor {
public:
    void operator()() override { ++runs; }
    std::atomic<int> runs{0};
};

// A thread that runs a task it does not own, as the wizard's progress pages do.
class borrowing_thread : public tk_thread {
public:
    explicit borrowing_thread(tk_thread_functor& task) : tk_thread(false), m_task(task) {}
    ~borrowing_thread() override { stop_if_running(); }

protected:
    tk_thread_functor* create_functor() override { return &m_task; }

private:
    tk_thread_functor& m_task;
};

}  // namespace

TEST(tk_thread, destroying_a_running_thread_returns_after_its_worker_ended) {
    endless_task task;
    {
        borrowing_thread thread(task);
        thread.start();
        wait_until([&] { return task.entered.load(); });
        EXPECT_TRUE(thread.is_running());
    }
    // The worker unwound its stack before the destructor returned.
    EXPECT_TRUE(task.unwound);
    EXPECT_GT(task.units, 0);
}

TEST(tk_thread, base_destructor_stops_a_running_worker) {
    endless_task task;
    {
        struct plain_borrower : tk_thread {
            explicit plain_borrower(tk_thread_functor& t) : tk_thread(false), task(t) {}
            tk_thread_functor* create_functor() override { return &task; }
            tk_thread_functor& task;
        } thread(task);
        thread.start();
        wait_until([&] { return task.entered.load(); });
    }
    EXPECT_TRUE(task.unwound);
}

TEST(tk_thread, stop_ends_the_worker_and_allows_a_new_start) {
    endless_task task;
    borrowing_thread thread(task);
    thread.start();
    wait_until([&] { return task.entered.load(); });
    thread.stop();
    EXPECT_FALSE(thread.is_running());
    EXPECT_TRUE(task.unwound);
    EXPECT_EQ(thread.error(), nullptr);  // a stop is not an error
    task.entered = false;
    task.unwound = false;
    thread.start();
    wait_until([&] { return task.entered.load(); });
    thread.stop();
    EXPECT_TRUE(task.unwound);
}

TEST(tk_thread, default_functor_waits_until_stopped_and_is_owned_by_the_thread) {
    tk_thread thread(false);
    thread.start();
    EXPECT_TRUE(thread.owns());
    EXPECT_TRUE(thread.is_running());
    // The 100 ms wait steps are cut short by the stop request.
    thread.stop();
    EXPECT_FALSE(thread.is_running());
}

TEST(tk_thread, finished_worker_is_not_running_and_may_be_started_again) {
    counting_task task;
    borrowing_thread thread(task);
    thread.start();
    wait_until([&] { return !thread.is_running(); });
    EXPECT_EQ(task.runs, 1);
    thread.start();
    wait_until([&] { return !thread.is_running(); });
    EXPECT_EQ(task.runs, 2);
    EXPECT_FALSE(thread.owns());
}

TEST(tk_thread, misuse_is_an_assertion) {
    endless_task task;
    borrowing_thread thread(task);
    EXPECT_THROW(thread.stop(), tk_mail_assertion);  // never started
    thread.start();
    EXPECT_THROW(thread.start(), tk_mail_assertion);  // running
    thread.stop();
    EXPECT_THROW(thread.stop(), tk_mail_assertion);  // stopped already

    counting_task quick;
    borrowing_thread finished(quick);
    finished.start();
    wait_until([&] { return !finished.is_running(); });
    EXPECT_THROW(finished.stop(), tk_mail_assertion);  // ended by itself
    finished.stop_if_running();                        // but this is fine
}

TEST(tk_thread, create_functor_giving_none_is_an_assertion) {
    struct empty_thread : tk_thread {
        tk_thread_functor* create_functor() override { return nullptr; }
    } thread;
    EXPECT_THROW(thread.start(), tk_mail_assertion);
    EXPECT_FALSE(thread.is_running());
}

TEST(tk_thread, stop_passes_the_tasks_own_handlers) {
    struct guarded_task : tk_thread_functor {
        void operator()() override {
            try {
                entered = true;
                for (;;) tk_thread::check_stop();
            } catch (const std::exception&) {
                swallowed = true;
            }
        }
        std::atomic<bool> entered{false};
        std::atomic<bool> swallowed{false};
    } task;
    borrowing_thread thread(task);
    thread.start();
    wait_until([&] { return task.entered.load(); });
    thread.stop();
    EXPECT_FALSE(task.swallowed);
}

TEST(tk_thread, escaped_error_is_kept_and_final_exception_is_quiet) {
    struct failing_task : tk_thread_functor {
        void operator()() override { throw tk_exception("Unreadable dump", 1); }
    } failing;
    borrowing_thread thread(failing);
    thread.start();
    wait_until([&] { return !thread.is_running(); });
    std::exception_ptr error = thread.error();
    ASSERT_NE(error, nullptr);
    try {
        std::rethrow_exception(error);
    } catch (const tk_exception& e) {
        EXPECT_STREQ(e.what(), "Unreadable dump");
        EXPECT_EQ(e.level(), 1);
    }

    struct final_task : tk_thread_functor {
        void operator()() override { throw tk_final_exception(); }
    } final;
    borrowing_thread quiet(final);
    quiet.start();
    wait_until([&] { return !quiet.is_running(); });
    EXPECT_EQ(quiet.error(), nullptr);
}

TEST(tk_thread, default_run_waits_until_done_then_runs_the_final_step_once) {
    struct stepping_task : tk_thread_functor {
        bool is_done() override { return steps == 3; }
        void wait_step() override { ++steps; }
        void final_step() override { ++finals; }
        std::atomic<int> steps{0};
        std::atomic<int> finals{0};
    } task;
    borrowing_thread thread(task);
    thread.start();
    wait_until([&] { return !thread.is_running(); });
    EXPECT_EQ(task.steps, 3);
    EXPECT_EQ(task.finals, 1);
}

TEST(tk_thread, threads_no_tk_thread_started_are_never_asked_to_stop) {
    EXPECT_FALSE(tk_thread::stop_requested());
    EXPECT_NO_THROW(tk_thread::check_stop());
    EXPECT_FALSE(tk_thread::wait_for_stop(std::chrono::milliseconds(1)));
    bool other = true;
    std::thread([&other] { other = tk_thread::stop_requested(); }).join();
    EXPECT_FALSE(other);
}
