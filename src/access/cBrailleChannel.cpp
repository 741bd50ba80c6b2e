#include "cBrailleChannel.h"

#include "cChannelLink.h"

#include <brlapi.h>

#include <QList>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

namespace {

struct Pending {
    QString text;
    int cursor = -1;
};

// The library's default handler ends the process on any error the server reports.
void IgnoreException(brlapi_handle_t*, int, brlapi_packetType_t, const void*, size_t)
{
}

} // namespace

struct cBrailleChannel::State : cChannelLink {
    std::optional<Pending> pending;
    brlapi_handle_t* handle = nullptr;
    std::atomic<unsigned> width = 0; // read by the window's thread too
};

BrailleWindow FitToDisplay(const QString& text, int cursor, int width)
{
    BrailleWindow window;
    if (width <= 0)
        return window;
    const QList<uint> codes = text.toUcs4();
    int start = 0;
    if (cursor >= 0)
        start = (cursor / width) * width;
    if (start > codes.size())
        start = 0;
    QList<uint> cells = codes.mid(start, width);
    while (cells.size() < width)
        cells.append(u' ');
    window.Cells = QString::fromUcs4(reinterpret_cast<const char32_t*>(cells.constData()), cells.size());
    window.Cursor = cursor >= 0 ? cursor - start + 1 : 0;
    if (window.Cursor > width)
        window.Cursor = 0;
    return window;
}

namespace {

void Close(cBrailleChannel::State& state)
{
    if (state.handle) {
        brlapi__closeConnection(state.handle);
        std::free(state.handle);
        state.handle = nullptr;
    }
    state.width = 0;
}

// Opens a connection and takes the display; the handle stays null when either fails.
void Open(cBrailleChannel::State& state)
{
    auto* handle = static_cast<brlapi_handle_t*>(std::malloc(brlapi_getHandleSize()));
    if (!handle)
        return;
    if (brlapi__openConnection(handle, nullptr, nullptr) == BRLAPI_INVALID_FILE_DESCRIPTOR) {
        std::free(handle);
        return;
    }
    brlapi__setExceptionHandler(handle, IgnoreException);
    unsigned x = 0, y = 0;
    state.handle = handle;
    if (brlapi__getDisplaySize(handle, &x, &y) < 0 || x == 0
        || brlapi__enterTtyModeWithPath(handle, nullptr, 0, nullptr) < 0) {
        Close(state);
        return;
    }
    // Keys stay with BRLTTY (panning, routing); this program only writes.
    brlapi__ignoreAllKeys(handle);
    state.width = x;
}

bool WriteCells(cBrailleChannel::State& state, const Pending& pending)
{
    const BrailleWindow window = FitToDisplay(pending.text, pending.cursor, int(state.width));
    const QByteArray utf8 = window.Cells.toUtf8();
    brlapi_writeArguments_t arguments = BRLAPI_WRITEARGUMENTS_INITIALIZER;
    arguments.regionBegin = 1;
    arguments.regionSize = int(state.width);
    arguments.text = utf8.constData();
    arguments.textSize = int(utf8.size());
    arguments.charset = const_cast<char*>("UTF-8");
    arguments.cursor = window.Cursor > 0 ? window.Cursor : BRLAPI_CURSOR_OFF;
    return brlapi__write(state.handle, &arguments) == 0;
}

void Run(std::shared_ptr<cBrailleChannel::State> state)
{
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->quit || state->connectRequested || state->pending; });
        if (state->quit)
            break;
        if (state->TakeAttempt()) {
            lock.unlock();
            Open(*state);
            lock.lock();
            state->AttemptFinished(state->handle != nullptr);
        }
        std::optional<Pending> pending = std::move(state->pending);
        state->pending.reset();
        if (!pending || !state->connected)
            continue;
        lock.unlock();
        const bool written = WriteCells(*state, *pending);
        if (!written)
            Close(*state);
        lock.lock();
        if (!written)
            state->SetConnected(false);
    }
    lock.unlock();
    Close(*state);
}

} // namespace

cBrailleChannel::cBrailleChannel()
    : m_state(std::make_shared<State>())
{
    std::thread(Run, m_state).detach();
}

cBrailleChannel::~cBrailleChannel()
{
    std::lock_guard lock(m_state->mutex);
    m_state->quit = true;
    m_state->wake.notify_all();
    // A hung server keeps the worker, never the program.
}

void cBrailleChannel::Write(const QString& text, int cursor)
{
    std::lock_guard lock(m_state->mutex);
    m_state->pending = Pending{text, cursor};
    m_state->wake.notify_all();
}

int cBrailleChannel::Width() const
{
    return int(m_state->width.load());
}

bool cBrailleChannel::Connect(int timeoutMs)
{
    return m_state->RequestConnect(timeoutMs);
}
