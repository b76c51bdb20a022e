// The pictures of the Links folder's entries, drawn by the shell at the bar's picture size: made on a thread of their
// own and handed to the message loop in batches, so that the bar's first paint never waits for them.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "win32/Handles.h"
#include "win32/UiThreadQueue.h"

namespace nimbrel::win32 {

// Where a picture came from, in the order they are tried.
enum class PictureSource {
    ImageFactory,   // the shell item's IShellItemImageFactory, icon only
    LargestImage,   // the icon at the entry's icon location, from its largest image
    ExtractedIcon,  // SHDefExtractIconW at the icon location, at the size
    GenericIcon,    // the shell's icon of a document without a program
    Blank,          // nothing could be had: a transparent picture
};

struct LinkPicture {
    std::size_t position = 0;  // the entry's place in the request
    // size x size pixels: a 32-bit top-down DIB section with premultiplied alpha.
    UniqueBitmap bitmap;
    PictureSource source = PictureSource::Blank;
};

// Pixels of a picture: 32-bit BGRA, premultiplied, rows top-down.
struct PremultipliedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// The image fitted into size x size, kept in proportion and centred: averaged over the pixels it covers when it
// shrinks, interpolated when it grows.
PremultipliedImage FitImage(const PremultipliedImage& image, int size);

// An icon's pixels at its own size, whatever kind of icon it is (alpha channel, mask, or both).
std::optional<PremultipliedImage> IconPixels(HICON icon);

// The largest image of the icon at a location as the shell names one: the index-th icon group of a module, or for a
// negative index the group whose id is -index; or an .ico file (index 0). Nothing when there is no such icon.
std::optional<PremultipliedImage> LargestIconImage(const std::wstring& file, int index);

// The picture for the entry at path, size x size pixels. Needs COM (apartment-threaded) on the calling thread.
LinkPicture MakeLinkPicture(const std::wstring& path, int size);

// The pictures of paths, in their order, made at once on the calling thread (for a menu); as MakeLinkPicture.
std::vector<UniqueBitmap> SmallIcons(const std::vector<std::string>& paths, int size);

class LinkIcons {
public:
    // Receives a batch of pictures on the thread that made this object; last is true for the request's final batch.
    // It may make a new request, but not destroy this object.
    using Ready = std::function<void(std::vector<LinkPicture> pictures, bool last)>;

    // Made on the thread of the message loop, which receives the pictures.
    LinkIcons();
    LinkIcons(const LinkIcons&) = delete;
    LinkIcons& operator=(const LinkIcons&) = delete;
    // Waits for the picture being made, if any, and drops the rest.
    ~LinkIcons();

    // Starts making the pictures of paths (UTF-8) at size pixels; a request still running is dropped, and none of its
    // batches arrives after this call.
    void Request(std::vector<std::string> paths, int size, Ready ready);
    // Drops the running request.
    void Cancel();

private:
    struct Job {
        std::vector<std::wstring> paths;
        int size = 0;
        std::uint64_t generation = 0;
    };
    // On the loop's thread: hands job to the thread, started now if it is not yet, or makes the pictures here.
    void Start(Job job);
    void Work() noexcept;
    // True while job is still the one asked for.
    bool Current(const Job& job);
    void Deliver(std::uint64_t generation, std::vector<LinkPicture> pictures, bool last);

    UiThreadQueue queue_;
    // Read and written on the loop's thread only.
    Ready ready_;
    std::uint64_t delivered_ = 0;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> job_;
    std::uint64_t generation_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace nimbrel::win32
