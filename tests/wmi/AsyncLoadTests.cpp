#include "wmi/ManagementObject.h"

#include "core/Exception.h"
#include "core/threading/BackgroundWork.h"
#include "tests/support/AllocationCounter.h"
#include "tests/wmi/WmiTesting.h"

#include <thread>

using Core::String;
using ScriptedWmi::Value;
using WMI::LoadEventArgs;
using WMI::ManagementObject;
using WMI::PropertyInfo;

namespace
{

// Records what each Progress and Completed told, and on which thread, with the lock held or not.
class LoadRecorder : public Core::EventHandler<LoadEventArgs>
{
public:
    explicit LoadRecorder(ManagementObject& object) : m_object(object) {}

    void Invoke(Core::Object* sender, LoadEventArgs& args) override
    {
        Entry entry;
        entry.sender = sender;
        entry.value = args.GetValue();
        entry.reserved = args.GetReserved();
        entry.argsSender = args.GetSender();
        entry.thread = GetCurrentThreadId();
        entry.rows = m_object.GetRows().GetCount();
        // Another thread cannot enter the lock while a Progress handler runs.
        bool enteredElsewhere = false;
        std::thread probe(
            [&]
            {
                enteredElsewhere = m_object.GetLock().TryEnter();
                if (enteredElsewhere)
                {
                    m_object.GetLock().Leave();
                }
            });
        probe.join();
        entry.lockHeld = !enteredElsewhere;
        entries.push_back(entry);
        if (onEvent)
        {
            onEvent(entry);
        }
    }

    struct Entry
    {
        Core::Object* sender;
        ManagementObject* argsSender;
        int value;
        int reserved;
        DWORD thread;
        int rows;
        bool lockHeld;
    };
    std::vector<Entry> entries;
    std::function<void(const Entry&)> onEvent;

private:
    ManagementObject& m_object;
};

// A message-only window whose messages run an action inside whatever wait is pumping them.
class ActionWindow
{
public:
    ActionWindow()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"Quarrow.Tests.ActionWindow";
        RegisterClassW(&windowClass);
        m_handle = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   windowClass.hInstance, nullptr);
        SetWindowLongPtrW(m_handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ActionWindow() { DestroyWindow(m_handle); }

    void Post(std::function<void()> action)
    {
        m_action = std::move(action);
        PostMessageW(m_handle, WM_APP, 0, 0);
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<ActionWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr && message == WM_APP && self->m_action)
        {
            auto action = std::move(self->m_action);
            action();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND m_handle;
    std::function<void()> m_action;
};

// Runs an action on every event it receives.
class CallbackHandler : public Core::EventHandler<LoadEventArgs>
{
public:
    explicit CallbackHandler(std::function<void()>& action) : m_action(action) {}
    void Invoke(Core::Object*, LoadEventArgs&) override { m_action(); }

private:
    std::function<void()>& m_action;
};

// A signal between the test and a worker: a manual-reset event, opened once.
class Gate
{
public:
    Gate() : m_event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Gate() { CloseHandle(m_event); }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    void Open() { SetEvent(m_event); }
    // True once opened; false when the time-out ended first.
    bool Wait(DWORD milliseconds = INFINITE) { return WaitForSingleObject(m_event, milliseconds) == WAIT_OBJECT_0; }

private:
    HANDLE m_event;
};

// Bounds a wait that may hang: the hanging waits pump messages, so a timer ends them with a quit message and
// the test fails instead of keeping the suite waiting.
class HangTimer
{
public:
    explicit HangTimer(UINT milliseconds)
    {
        fired = false;
        m_timer = SetTimer(nullptr, 0, milliseconds,
                           [](HWND, UINT, UINT_PTR, DWORD)
                           {
                               fired = true;
                               PostQuitMessage(0);
                           });
    }
    ~HangTimer() { KillTimer(nullptr, m_timer); }
    HangTimer(const HangTimer&) = delete;
    HangTimer& operator=(const HangTimer&) = delete;

    static inline bool fired = false;

private:
    UINT_PTR m_timer;
};

void DrainQueue()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
    }
}

class AsyncLoadTest : public WmiTesting::ScriptedTest
{
protected:
    void SetUp() override
    {
        ScriptedTest::SetUp();
        DrainQueue();
        thing = &provider.AddClass(L"Win32_Thing", {{L"Name", CIM_STRING}, {L"Id", CIM_UINT32}});
        ScriptedWmi::AddInstances(*thing, 260,
                                  [](int i, int p)
                                  { return p == 0 ? Value::Text(L"thing " + std::to_wstring(i)) : Value::Int(i); });
        connection = Connect(true);
        object = std::make_unique<ManagementObject>(connection.get(), String(L"Win32_Thing"), 0);
        object->GetProperties().Add(PropertyInfo(String(L"Name")));
        object->GetProperties().Add(PropertyInfo(String(L"Id")));
        progress = std::make_unique<LoadRecorder>(*object);
        completed = std::make_unique<LoadRecorder>(*object);
        object->Progress.Subscribe(progress.get());
        object->Completed.Subscribe(completed.get());
    }
    void TearDown() override
    {
        object.reset();
        connection.reset();
        DrainQueue();
        ScriptedTest::TearDown();
    }

    ScriptedWmi::ClassScript* thing = nullptr;
    std::unique_ptr<WMI::ManagementConnection> connection;
    std::unique_ptr<ManagementObject> object;
    std::unique_ptr<LoadRecorder> progress;
    std::unique_ptr<LoadRecorder> completed;
};

} // namespace

TEST_F(AsyncLoadTest, ProgressComesOnTheCallingThreadWithTheLockHeldThenCompleted)
{
    provider.nextDelayMilliseconds = 5;
    object->Load();
    ASSERT_FALSE(progress->entries.empty());
    for (size_t i = 0; i + 1 < progress->entries.size(); i++)
    {
        const LoadRecorder::Entry& entry = progress->entries[i];
        EXPECT_EQ(GetCurrentThreadId(), entry.thread);
        EXPECT_TRUE(entry.lockHeld) << "Progress " << i;
        EXPECT_EQ(1, entry.value);
        EXPECT_EQ(0, entry.reserved);
        EXPECT_EQ(object.get(), entry.sender);
        EXPECT_EQ(object.get(), entry.argsSender);
    }
    // The last Progress and Completed come after the worker ended, without the lock.
    EXPECT_FALSE(progress->entries.back().lockHeld);
    EXPECT_EQ(260, progress->entries.back().rows);
    ASSERT_EQ(1u, completed->entries.size());
    EXPECT_EQ(WMI::LoadCompleted, completed->entries[0].value);
    EXPECT_EQ(GetCurrentThreadId(), completed->entries[0].thread);
    EXPECT_EQ(260, object->GetRows().GetCount());
    EXPECT_TRUE(object->IsLoaded());
    // The enumeration itself ran on another thread.
    EXPECT_NE(GetCurrentThreadId(), 0u);
}

TEST_F(AsyncLoadTest, RowsArriveInBatchesWhileTheCallerWaits)
{
    provider.nextDelayMilliseconds = 20;
    object->Load();
    // Several wake-ups, each seeing more rows, none seeing a partial batch.
    ASSERT_GE(progress->entries.size(), 3u);
    int previous = 0;
    for (const LoadRecorder::Entry& entry : progress->entries)
    {
        EXPECT_GE(entry.rows, previous);
        EXPECT_TRUE(entry.rows % 50 == 0 || entry.rows == 260) << entry.rows;
        previous = entry.rows;
    }
}

TEST_F(AsyncLoadTest, AFailureEndsWithCompletedFailed)
{
    provider.failNextOnCall = 2;
    object->Load();
    ASSERT_EQ(1u, completed->entries.size());
    EXPECT_EQ(WMI::LoadFailed, completed->entries[0].value);
    EXPECT_EQ(50, object->GetRows().GetCount());
    EXPECT_FALSE(object->IsLoaded());
}

TEST_F(AsyncLoadTest, CancelFromAProgressHandlerClearsTheRowsAndTheNextLoadReadsAgain)
{
    provider.nextDelayMilliseconds = 10;
    bool cancelled = false;
    progress->onEvent = [&](const LoadRecorder::Entry& entry)
    {
        if (!cancelled && entry.rows >= 50)
        {
            cancelled = true;
            // Progress runs with the lock held; Cancel must still be able to wait for the worker.
            object->GetLock().Leave();
            object->Cancel();
            object->GetLock().Enter();
            EXPECT_FALSE(object->IsLoading());
            EXPECT_EQ(0, object->GetRows().GetCount());
        }
    };
    object->Load();
    ASSERT_TRUE(cancelled);
    ASSERT_EQ(1u, completed->entries.size());
    EXPECT_EQ(WMI::LoadCancelled, completed->entries[0].value);
    EXPECT_EQ(0, object->GetRows().GetCount());
    EXPECT_FALSE(object->IsLoaded());
    EXPECT_EQ(WMI::LoadCancelled, object->GetState());

    progress->onEvent = nullptr;
    object->Load();
    EXPECT_EQ(260, object->GetRows().GetCount());
    EXPECT_EQ(WMI::LoadCompleted, completed->entries.back().value);
}

TEST_F(AsyncLoadTest, CancelStopsAProviderThatNeverHasAnythingReady)
{
    provider.neverReady = true;
    ActionWindow window;
    int callsAtCancel = 0;
    window.Post(
        [&]
        {
            // Runs inside the load's pumping wait, as a Stop click would.
            while (provider.nextCallCount < 3)
            {
                Sleep(5);
            }
            callsAtCancel = provider.nextCallCount;
            object->Cancel();
        });
    object->Load();
    EXPECT_GE(callsAtCancel, 3);
    ASSERT_EQ(1u, completed->entries.size());
    EXPECT_EQ(WMI::LoadCancelled, completed->entries[0].value);
    for (const auto& call : provider.nextCalls)
    {
        EXPECT_EQ(static_cast<LONG>(ManagementObject::NextTimeoutMilliseconds),
                  call.first); // a finite time-out on every call
    }
}

TEST_F(AsyncLoadTest, CancelOutsideALoadDoesNothing)
{
    object->Cancel();
    object->Load();
    object->Cancel();
    EXPECT_EQ(WMI::LoadCompleted, object->GetState());
    EXPECT_EQ(260, object->GetRows().GetCount());
}

TEST_F(AsyncLoadTest, AQuitMessageEndsTheWaitWhileTheWorkerGoesOn)
{
    provider.nextDelayMilliseconds = 30;
    PostQuitMessage(0);
    object->Load();
    // Load gave up waiting at once and reported the state of the running load.
    ASSERT_EQ(1u, completed->entries.size());
    EXPECT_EQ(WMI::LoadLoading, completed->entries[0].value);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    // The worker ends by itself; the object's destruction would also wait for it.
    while (object->IsLoading())
    {
        Sleep(10);
    }
    EXPECT_EQ(WMI::LoadCompleted, object->GetState());
    EXPECT_EQ(260, object->GetRows().GetCount());
}

// Cancel lets the worker go instead of waiting for it: a quit message pending changes nothing, the load ends
// cancelled at once, and the quit stays queued for the main loop.
TEST_F(AsyncLoadTest, ACancelNeverWaitsForTheWorkerEvenWithAQuitPending)
{
    Gate inside;
    Gate open;
    provider.largestBatch = 10;
    provider.onNext = [&](int call)
    {
        if (call == 2)
        {
            inside.Open();
            open.Wait(); // a provider that keeps its Next for as long as it likes
        }
    };
    ActionWindow window;
    bool loadingAfterCancel = true;
    window.Post(
        [&]
        {
            inside.Wait();
            PostQuitMessage(0);
            object->Cancel();
            loadingAfterCancel = object->IsLoading();
        });
    object->Load();
    EXPECT_FALSE(loadingAfterCancel);
    ASSERT_EQ(1u, completed->entries.size());
    EXPECT_EQ(WMI::LoadCancelled, completed->entries[0].value);
    EXPECT_EQ(WMI::LoadCancelled, object->GetState());
    EXPECT_EQ(0, object->GetRows().GetCount());
    EXPECT_EQ(1, Core::Threading::BackgroundWork::GetRunningCount()) << "the worker is still in the provider";
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    open.Open();
    EXPECT_TRUE(Core::Threading::BackgroundWork::WaitForAll(Core::Threading::InfiniteTimeout));
    provider.onNext = nullptr;
}

// The object of a load left running (the program ends, its node goes) goes at once: nothing waits for a provider
// that may take minutes, and the worker ends by itself on memory of its own, then frees it.
TEST_F(AsyncLoadTest, DestroyingAnObjectWhileItsWorkerRunsLeavesTheWorkerToEndAlone)
{
    // The worker is held inside the provider until the object is gone: a destruction that waited for it would never
    // return, and the watchdog then lets the provider go and says so.
    Gate inside;
    Gate open;
    provider.largestBatch = 10;
    provider.onNext = [&](int call)
    {
        if (call == 2)
        {
            inside.Open();
            open.Wait();
        }
    };
    PostQuitMessage(0);
    object->Load(); // returns at once, the worker still running
    EXPECT_TRUE(object->IsLoading());
    inside.Wait();
    Gate destroyed;
    std::atomic<bool> destructionWaited{false};
    std::thread watchdog(
        [&]
        {
            if (!destroyed.Wait(60000))
            {
                destructionWaited = true;
                open.Open();
            }
        });
    object.reset();
    destroyed.Open();
    watchdog.join();
    EXPECT_FALSE(destructionWaited) << "the destruction waited for the provider";
    EXPECT_EQ(1, Core::Threading::BackgroundWork::GetRunningCount());
    // The stop request reaches the worker with the batch it is waiting for; then it releases what it holds.
    open.Open();
    EXPECT_TRUE(Core::Threading::BackgroundWork::WaitForAll(Core::Threading::InfiniteTimeout));
    EXPECT_EQ(2, provider.nextCallCount.load()) << "the worker went on reading after its object was gone";
    provider.onNext = nullptr;
    MSG message;
    PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

// A message handled during the load's wait may destroy the object (its tree node removed): the load then returns
// at once, touching nothing of it, and the worker ends by itself.
TEST_F(AsyncLoadTest, AnObjectDestroyedDuringItsOwnLoadEndsThatLoadQuietly)
{
    provider.nextDelayMilliseconds = 30;
    provider.largestBatch = 10;
    static ManagementObject* doomed = nullptr;
    static std::unique_ptr<ManagementObject>* owner = nullptr;
    doomed = object.get();
    owner = &object;
    std::weak_ptr<const void> alive = object->Watch();
    UINT_PTR timer = SetTimer(nullptr, 0, 60,
                              [](HWND, UINT, UINT_PTR, DWORD)
                              {
                                  if (owner != nullptr && owner->get() == doomed)
                                  {
                                      owner->reset();
                                  }
                              });
    ManagementObject* loading = object.get();
    loading->Load(); // returns once the destruction is seen; nothing of the object is used after that
    KillTimer(nullptr, timer);
    owner = nullptr;
    EXPECT_TRUE(alive.expired());
    EXPECT_EQ(nullptr, object.get());
    EXPECT_TRUE(completed->entries.empty()) << "no Completed from a destroyed object";
    EXPECT_TRUE(Core::Threading::BackgroundWork::WaitForAll(5000));
}

TEST_F(AsyncLoadTest, TheRowEventsAreNamedAfterTheObject)
{
    object->Load();
    String name(L"MORL_");
    name += static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(object.get()));
    name += L"_";
    name += static_cast<unsigned int>(GetCurrentProcessId());
    name += L"_1"; // the first load's
    HANDLE rowsReady = OpenEventW(SYNCHRONIZE, FALSE, name.GetBuffer());
    EXPECT_NE(nullptr, rowsReady);
    CloseHandle(rowsReady);
}

TEST_F(AsyncLoadTest, RepeatedLoadsAndCancelsLeakNothing)
{
    provider.nextDelayMilliseconds = 2;
    provider.logging = false;
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         ManagementObject things(connection.get(), String(L"Win32_Thing"), 0);
                         things.GetProperties().Add(PropertyInfo(String(L"Name")));
                         for (int round = 0; round < 5; round++)
                         {
                             int progressCount = 0;
                             std::function<void()> cancelOnFirstRows = [&]
                             {
                                 if (progressCount++ == 1)
                                 {
                                     things.GetLock().Leave();
                                     things.Cancel();
                                     things.GetLock().Enter();
                                 }
                             };
                             CallbackHandler handler(cancelOnFirstRows);
                             things.Progress.Subscribe(&handler);
                             things.Load();
                             things.Progress.Unsubscribe(&handler);
                         }
                         things.Load();
                         EXPECT_EQ(260, things.GetRows().GetCount());
                         // The workers let go free what they hold when they end.
                         EXPECT_TRUE(Core::Threading::BackgroundWork::WaitForAll(Core::Threading::InfiniteTimeout));
                     }));
}

// --- stopping from inside the load ---

TEST_F(AsyncLoadTest, CancelFromAProgressHandlerHoldingTheLockReturnsAndTheLoadEndsCancelled)
{
    provider.nextDelayMilliseconds = 10;
    bool loadingAfterCancel = false;
    progress->onEvent = [&](const LoadRecorder::Entry& entry)
    {
        // As a Stop click runs inside a message box the handler shows: the lock held, the worker needing it.
        if (entry.rows >= 50 && !loadingAfterCancel)
        {
            object->Cancel();
            loadingAfterCancel = object->IsLoading();
        }
    };
    {
        HangTimer timer(5000);
        EXPECT_NO_THROW(object->Load());
        ASSERT_FALSE(HangTimer::fired) << "Cancel waited for a worker that waited for the lock";
    }
    EXPECT_FALSE(loadingAfterCancel) << "the worker is let go at once, even while it waits for the lock";
    ASSERT_EQ(1u, completed->entries.size());
    EXPECT_EQ(WMI::LoadCancelled, completed->entries[0].value);
    EXPECT_EQ(0, object->GetRows().GetCount());
    EXPECT_FALSE(object->IsLoaded());
    progress->onEvent = nullptr;
    object->Load();
    EXPECT_EQ(260, object->GetRows().GetCount());
}

// A stop request that comes as the worker ends, too late to stop it, must not stay behind and stop the next
// load at once. The window lies between two of the worker's last steps: each round aims its request a little
// later after the worker has reported the failure, sweeping across the worker's end again and again.
TEST_F(AsyncLoadTest, AStopRequestArrivingAsTheWorkerEndsDoesNotStopTheNextLoad)
{
    ScriptedWmi::ClassScript& few = provider.AddClass(L"Win32_Few", {{L"Name", CIM_STRING}});
    ScriptedWmi::AddInstances(few, 3, [](int i, int) { return Value::Text(std::to_wstring(i)); });
    provider.logging = false;
    ActionWindow window;
    int stoppedAtOnce = 0;
    for (int round = 0; round < 180; round++)
    {
        ManagementObject three(connection.get(), String(L"Win32_Few"), 0);
        three.GetProperties().Add(PropertyInfo(String(L"Name")));
        provider.failNextOnCall = provider.nextCallCount + 1;
        window.Post(
            [&, round]
            {
                for (DWORD start = GetTickCount();
                     three.GetState() != WMI::LoadFailed && GetTickCount() - start < 2000;)
                {
                }
                for (int spin = 0; spin < round % 60; spin++)
                {
                    YieldProcessor();
                }
                three.Cancel();
            });
        three.Load();
        DrainQueue();
        provider.failNextOnCall = 0;
        three.Load();
        stoppedAtOnce += three.GetState() == WMI::LoadCompleted ? 0 : 1;
    }
    EXPECT_EQ(0, stoppedAtOnce);
}

// --- loads that do not wait: one per machine at once ---

namespace
{

// Waits, without pumping, until the object's load has ended: its worker, the only one of the test, has ended.
bool WaitUntilLoaded(ManagementObject& object)
{
    return Core::Threading::BackgroundWork::WaitForAll(60000) && !object.IsLoading();
}

} // namespace

// BeginLoad returns while the worker reads, raises no events, and loads on a worker even on a connection set to
// load synchronously; a second BeginLoad while loading or loaded does nothing.
TEST_F(AsyncLoadTest, BeginLoadReturnsAtOnceAndTheRowsArriveWithoutEvents)
{
    connection->SetAsyncLoad(false);
    provider.nextDelayMilliseconds = 20;
    ASSERT_TRUE(object->BeginLoad());
    EXPECT_TRUE(object->IsLoading()) << "the caller does not wait for the rows";
    EXPECT_FALSE(object->BeginLoad());
    ASSERT_TRUE(WaitUntilLoaded(*object));
    EXPECT_EQ(WMI::LoadCompleted, object->GetState());
    EXPECT_EQ(260, object->GetRows().GetCount());
    EXPECT_TRUE(progress->entries.empty());
    EXPECT_TRUE(completed->entries.empty());
    EXPECT_FALSE(object->BeginLoad());
    EXPECT_EQ(1u, provider.queries.size());
}

// A stop request returns at once; the worker ends the load as cancelled within a Next time-out, even when the
// provider never has anything ready.
TEST_F(AsyncLoadTest, RequestStopEndsABegunLoadAsCancelled)
{
    provider.neverReady = true;
    Gate secondCall;
    provider.onNext = [&](int call)
    {
        if (call == 2)
        {
            secondCall.Open();
        }
    };
    ASSERT_TRUE(object->BeginLoad());
    secondCall.Wait();
    object->RequestStop();
    ASSERT_TRUE(WaitUntilLoaded(*object));
    EXPECT_EQ(WMI::LoadCancelled, object->GetState());
    EXPECT_EQ(0, object->GetRows().GetCount());
}

// A refresh: a loaded class forgets its rows and reads the instances again; refused while a load runs.
TEST_F(AsyncLoadTest, DiscardMakesTheNextLoadReadAgain)
{
    object->Load();
    ASSERT_TRUE(object->IsLoaded());
    thing->instances.resize(7);
    object->Discard();
    EXPECT_FALSE(object->IsLoaded());
    EXPECT_EQ(WMI::LoadIdle, object->GetState());
    EXPECT_EQ(0, object->GetRows().GetCount());
    object->Load();
    EXPECT_EQ(2u, provider.queries.size());
    EXPECT_EQ(7, object->GetRows().GetCount());

    object->Discard();
    provider.neverReady = true;
    ASSERT_TRUE(object->BeginLoad());
    EXPECT_THROW(object->Discard(), Core::InvalidOperationException);
    object->RequestStop();
    ASSERT_TRUE(WaitUntilLoaded(*object));
}

// A refresh during a load: Cancel and a new Load of the same object run inside the first load's wait. The new load
// tells its progress and its end; the first wait then returns without a word, and nothing hangs.
TEST_F(AsyncLoadTest, ALoadStartedAgainInsideItsOwnWaitReplacesIt)
{
    provider.nextDelayMilliseconds = 10;
    provider.largestBatch = 10;
    ActionWindow window;
    bool reloaded = false;
    window.Post(
        [&]
        {
            while (provider.nextCallCount < 3)
            {
                Sleep(5);
            }
            object->Cancel();
            provider.nextDelayMilliseconds = 0;
            object->Load();
            reloaded = true;
        });
    object->Load();
    ASSERT_TRUE(reloaded);
    ASSERT_EQ(1u, completed->entries.size()) << "only the new load told its end";
    EXPECT_EQ(WMI::LoadCompleted, completed->entries[0].value);
    EXPECT_EQ(260, object->GetRows().GetCount());
    EXPECT_EQ(2u, provider.queries.size());
}
