#include "cli/FileScan.h"

#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

TScanResult ScanPicture(const QByteArray& file, const TPictureLoad& load, const TScanRequest& request)
{
    TScanResult result;
    result.file = file;
    try {
        QImage picture = load(file);
        if (request.codes == TCodesPerPicture::All)
            result.codes = DecodeAllCodes(picture, request.options);
        else if (std::optional<TDecodedCode> code = DecodeCode(picture, request.options))
            result.codes.push_back(std::move(*code));
        result.status = result.codes.empty() ? TScanStatus::Unreadable : TScanStatus::Decoded;
    } catch (const EPictureFileError& error) {
        // The file is named beside the message; it says what happened.
        result.status = TScanStatus::Error;
        result.error = error.Reason();
    } catch (const EPictureError& error) {
        result.status = TScanStatus::Error;
        result.error = QString::fromStdString(error.what());
    } catch (const std::bad_alloc&) {
        result.status = TScanStatus::Error;
        result.error = QStringLiteral("Not enough memory to decode the picture.");
    } catch (const std::exception& error) {
        result.status = TScanStatus::Error;
        result.error = QString::fromStdString(error.what());
    }
    return result;
}

int WorkersFor(qsizetype files)
{
    const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return static_cast<int>(std::clamp<qsizetype>(files, 1, processors));
}

namespace {

// The results between the workers and the calling thread: a ring of slots,
// slot i % size holding the result of file i until it is handed on.
class TResultRing {
public:
    TResultRing(qsizetype files, int slotCount)
        : fFiles(files)
        , fSlots(static_cast<std::size_t>(slotCount))
    {
    }

    // The next file to scan, waiting while its slot is still taken; -1 when all are taken.
    qsizetype Take()
    {
        std::unique_lock lock(fLock);
        fRoom.wait(lock,
                   [this] { return fTaken >= fFiles || fTaken < fHandedOn + static_cast<qsizetype>(fSlots.size()); });
        return fTaken < fFiles ? fTaken++ : -1;
    }

    void Put(qsizetype index, TScanResult result)
    {
        {
            std::lock_guard lock(fLock);
            fSlots[SlotOf(index)] = std::move(result);
        }
        fReady.notify_one();
    }

    // The result of the next file in order, waiting for it.
    TScanResult Next()
    {
        std::unique_lock lock(fLock);
        std::optional<TScanResult>& slot = fSlots[SlotOf(fHandedOn)];
        fReady.wait(lock, [&] { return slot.has_value(); });
        TScanResult result = std::move(*slot);
        slot.reset();
        ++fHandedOn;
        lock.unlock();
        fRoom.notify_all();
        return result;
    }

private:
    std::size_t SlotOf(qsizetype index) const { return static_cast<std::size_t>(index) % fSlots.size(); }

    std::mutex fLock;
    std::condition_variable fRoom;  // a slot came free
    std::condition_variable fReady; // a result came in
    const qsizetype fFiles;
    std::vector<std::optional<TScanResult>> fSlots;
    qsizetype fTaken = 0;    // files given to workers
    qsizetype fHandedOn = 0; // results handed on
};

} // namespace

void ScanFiles(const QList<QByteArray>& files, int workers, const TPictureLoad& load, const TScanRequest& request,
               const TResultSink& sink)
{
    if (workers <= 1 || files.size() <= 1) {
        for (const QByteArray& file : files)
            sink(ScanPicture(file, load, request));
        return;
    }
    TResultRing ring(files.size(), workers * kResultsAheadPerWorker);
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(workers));
    for (int i = 0; i < workers; ++i)
        threads.emplace_back([&] {
            for (qsizetype index; (index = ring.Take()) >= 0;)
                ring.Put(index, ScanPicture(files[index], load, request));
        });
    for (qsizetype i = 0; i < files.size(); ++i)
        sink(ring.Next());
    for (std::thread& thread : threads)
        thread.join();
}
