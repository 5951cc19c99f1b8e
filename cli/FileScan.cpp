#include "cli/FileScan.h"

#include "cli/PictureArgument.h"
#include "cli/ScanOptions.h"
#include "decode/PictureLoader.h"

#include <algorithm>
#include <exception>
#include <map>
#include <thread>

#include <poll.h>

TScanResult ResultOf(const QByteArray& file, const std::function<std::vector<TDecodedCode>()>& decode)
{
    TScanResult result;
    result.file = file;
    try {
        result.codes = decode();
        result.status = result.codes.empty() ? TScanStatus::Unreadable : TScanStatus::Decoded;
    } catch (const ENeedsReaders&) {
        throw;
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

TScanResult ScanPicture(const QByteArray& file, TPictureDecoder& decoder, const TScanRequest& request)
{
    return ResultOf(file, [&] {
        if (file == kStandardInputName)
            return decoder.ReadData(ReadStandardInput(), request.Read()).codes;
        return decoder.ReadFile(file, DisplayName(file), request.Read()).codes;
    });
}

int WorkersFor(qsizetype files)
{
    const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return static_cast<int>(std::clamp<qsizetype>(files, 1, processors));
}

namespace {

// The content of one argument for a decoder process: the file opened, or
// standard input's bytes in shared memory.
TFileDescriptor OpenArgument(const QByteArray& file)
{
    if (file == kStandardInputName)
        return ShareBytes(ReadStandardInput());
    return TFileDescriptor(OpenPictureFile(file, DisplayName(file)));
}

} // namespace

void ScanFiles(const QList<QByteArray>& files, const std::vector<std::unique_ptr<TDecoderProcess>>& pool,
               const TScanRequest& request, const TResultSink& sink)
{
    const qsizetype ahead = std::max<qsizetype>(1, qsizetype(pool.size()) * kResultsAheadPerWorker);
    std::vector<qsizetype> held(pool.size(), -1); // the file each process is reading
    std::map<qsizetype, TScanResult> waiting;     // results known before an earlier one
    qsizetype next = 0;                           // the next file to send
    qsizetype handedOn = 0;                       // results given to the sink

    while (handedOn < files.size()) {
        // Every idle process gets the next file, while the results ahead stay bounded.
        for (std::size_t i = 0; i < pool.size(); ++i) {
            while (held[i] < 0 && next < files.size() && next - handedOn < ahead) {
                const qsizetype index = next++;
                TFileDescriptor content;
                TScanResult opened = ResultOf(files[index], [&] {
                    content = OpenArgument(files[index]);
                    return std::vector<TDecodedCode>{};
                });
                if (!content.Valid()) {
                    waiting.emplace(index, std::move(opened));
                    continue;
                }
                const int descriptors[] = {content.Get()};
                pool[i]->Send(PictureRequest(request.Read(), DisplayName(files[index])), descriptors,
                              kPictureTimeLimit);
                held[i] = index;
            }
        }
        for (auto found = waiting.find(handedOn); found != waiting.end(); found = waiting.find(handedOn)) {
            sink(found->second);
            waiting.erase(found);
            ++handedOn;
        }
        if (handedOn >= files.size())
            break;

        // The replies that came, or are overdue.
        std::vector<pollfd> watched;
        std::vector<std::size_t> owners;
        auto soonest = std::chrono::steady_clock::time_point::max();
        for (std::size_t i = 0; i < pool.size(); ++i)
            if (held[i] >= 0) {
                watched.push_back({pool[i]->Socket(), POLLIN, 0});
                owners.push_back(i);
                soonest = std::min(soonest, pool[i]->Deadline());
            }
        if (watched.empty())
            continue; // every file is sent and every result known
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(soonest - std::chrono::steady_clock::now());
        ::poll(watched.data(), watched.size(), static_cast<int>(std::max<long long>(0, left.count() + 1)));
        const auto now = std::chrono::steady_clock::now();
        for (std::size_t w = 0; w < watched.size(); ++w) {
            TDecoderProcess& process = *pool[owners[w]];
            if (watched[w].revents == 0 && now < process.Deadline())
                continue;
            const qsizetype index = std::exchange(held[owners[w]], -1);
            TFileDescriptor picture;
            const TDecoderReply reply = process.Receive(picture);
            waiting.emplace(index, ResultOf(files[index], [&] { return TakeReply(reply, picture).codes; }));
        }
    }
}
