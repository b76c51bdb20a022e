#include "win32/LinkIcons.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

#include "win32/Com.h"
#include "win32/Strings.h"

namespace nimbrel::win32 {
namespace {

using UniqueIcon = UniqueHandle<HICON, ::DestroyIcon>;
using UniqueModule = UniqueHandle<HMODULE, ::FreeLibrary>;

// How long finished pictures wait for more before they are handed over.
constexpr DWORD kBatchMilliseconds = 50;
// The icon resource format's version that CreateIconFromResourceEx takes.
constexpr DWORD kIconFormat = 0x00030000;
// Larger .ico files are not read.
constexpr LONGLONG kLargestIconFile = 16LL * 1024 * 1024;

std::uint32_t Alpha(std::uint32_t pixel) {
    return pixel >> 24;
}

std::uint32_t Channel(std::uint32_t pixel, int shift) {
    return (pixel >> shift) & 0xFFu;
}

std::uint32_t Pack(std::uint32_t b, std::uint32_t g, std::uint32_t r, std::uint32_t a) {
    return b | (g << 8) | (r << 16) | (a << 24);
}

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

UniqueBitmap MakeBitmap(const PremultipliedImage& image, std::uint32_t** bits = nullptr) {
    const BITMAPINFO info = TopDown32(image.width, image.height);
    void* memory = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0));
    if (!bitmap || memory == nullptr)
        return {};
    if (!image.pixels.empty())
        std::memcpy(memory, image.pixels.data(), image.pixels.size() * sizeof(std::uint32_t));
    if (bits != nullptr)
        *bits = static_cast<std::uint32_t*>(memory);
    return bitmap;
}

// A bitmap the shell made: 32-bit with straight or premultiplied alpha, or without any.
std::optional<PremultipliedImage> ReadBitmap(HBITMAP bitmap) {
    BITMAP header{};
    if (::GetObjectW(bitmap, sizeof(header), &header) == 0 || header.bmWidth <= 0 || header.bmHeight <= 0)
        return std::nullopt;
    PremultipliedImage image{header.bmWidth, header.bmHeight, {}};
    image.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    BITMAPINFO info = TopDown32(image.width, image.height);
    const WindowDc screen(nullptr);
    if (::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(image.height), image.pixels.data(), &info,
                    DIB_RGB_COLORS) == 0)
        return std::nullopt;
    // A picture with nothing in it is none (Wine 8 answers every item with one empty pixel).
    if (std::all_of(image.pixels.begin(), image.pixels.end(), [](std::uint32_t p) { return p == 0; }))
        return std::nullopt;
    const bool hasAlpha = header.bmBitsPixel == 32 && std::any_of(image.pixels.begin(), image.pixels.end(),
                                                                  [](std::uint32_t p) { return Alpha(p) != 0; });
    const bool straight = hasAlpha && std::any_of(image.pixels.begin(), image.pixels.end(), [](std::uint32_t p) {
                              return Channel(p, 0) > Alpha(p) || Channel(p, 8) > Alpha(p) || Channel(p, 16) > Alpha(p);
                          });
    for (std::uint32_t& p : image.pixels) {
        if (!hasAlpha) {
            p |= 0xFF000000u;
        } else if (straight) {
            const std::uint32_t a = Alpha(p);
            p = Pack((Channel(p, 0) * a + 127) / 255, (Channel(p, 8) * a + 127) / 255, (Channel(p, 16) * a + 127) / 255,
                     a);
        }
    }
    return image;
}

std::optional<SIZE> IconSize(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info))
        return std::nullopt;
    const UniqueBitmap colour(info.hbmColor);
    const UniqueBitmap mask(info.hbmMask);
    BITMAP header{};
    if (colour && ::GetObjectW(colour.get(), sizeof(header), &header) != 0)
        return SIZE{header.bmWidth, header.bmHeight};
    // A monochrome icon keeps its AND and XOR masks one above the other.
    if (mask && ::GetObjectW(mask.get(), sizeof(header), &header) != 0)
        return SIZE{header.bmWidth, header.bmHeight / 2};
    return std::nullopt;
}

}  // namespace

// Drawn once over black and once over white, which tells every pixel's coverage.
std::optional<PremultipliedImage> IconPixels(HICON icon) {
    const std::optional<SIZE> size = IconSize(icon);
    if (!size || size->cx <= 0 || size->cy <= 0 || size->cx > 1024 || size->cy > 1024)
        return std::nullopt;
    PremultipliedImage image{size->cx, size->cy, {}};
    const std::size_t count = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    image.pixels.assign(count, 0);
    std::uint32_t* black = nullptr;
    std::uint32_t* white = nullptr;
    const UniqueBitmap onBlack = MakeBitmap(image, &black);
    image.pixels.assign(count, 0xFFFFFFFFu);
    const UniqueBitmap onWhite = MakeBitmap(image, &white);
    const UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    if (!onBlack || !onWhite || !dc)
        return std::nullopt;
    for (HBITMAP target : {onBlack.get(), onWhite.get()}) {
        const SelectGuard selected(dc.get(), target);
        if (!::DrawIconEx(dc.get(), 0, 0, icon, image.width, image.height, 0, nullptr, DI_NORMAL))
            return std::nullopt;
    }
    ::GdiFlush();
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t alpha = 0;
        for (const int shift : {0, 8, 16}) {
            const std::uint32_t over = Channel(black[i], shift);
            const std::uint32_t under = Channel(white[i], shift);
            alpha = std::max(alpha, 255u - (under > over ? under - over : 0u));
        }
        image.pixels[i] = Pack(std::min(Channel(black[i], 0), alpha), std::min(Channel(black[i], 8), alpha),
                               std::min(Channel(black[i], 16), alpha), alpha);
    }
    return image;
}

namespace {

// One icon image's entry: in a resource group (nId) or in an .ico file (offset).
struct IconEntry {
    int size = 0;
    int bitCount = 0;
    DWORD bytes = 0;
    DWORD idOrOffset = 0;
};

template <typename T>
T ReadAt(const BYTE* data, std::size_t offset) {
    T value{};
    std::memcpy(&value, data + offset, sizeof(T));
    return value;
}

// The largest entry of an icon directory (GRPICONDIR in a module, ICONDIR in a file: both begin with three WORDs, and
// their entries differ only in the last field).
std::optional<IconEntry> LargestEntry(const BYTE* data, std::size_t length, std::size_t entryLength) {
    if (data == nullptr || length < 6 || ReadAt<WORD>(data, 2) != 1)
        return std::nullopt;
    const std::size_t count = ReadAt<WORD>(data, 4);
    std::optional<IconEntry> best;
    for (std::size_t i = 0; i < count && 6 + (i + 1) * entryLength <= length; ++i) {
        const std::size_t at = 6 + i * entryLength;
        IconEntry entry;
        // A width of 0 means 256.
        entry.size = data[at] == 0 ? 256 : data[at];
        entry.bitCount = ReadAt<WORD>(data, at + 6);
        entry.bytes = ReadAt<DWORD>(data, at + 8);
        entry.idOrOffset = entryLength == 14 ? ReadAt<WORD>(data, at + 12) : ReadAt<DWORD>(data, at + 12);
        if (!best || entry.size > best->size || (entry.size == best->size && entry.bitCount > best->bitCount))
            best = entry;
    }
    return best;
}

UniqueIcon IconFromBits(const BYTE* bits, DWORD length) {
    return UniqueIcon(
        ::CreateIconFromResourceEx(const_cast<BYTE*>(bits), length, TRUE, kIconFormat, 0, 0, LR_DEFAULTCOLOR));
}

struct GroupSearch {
    int wanted = 0;
    int seen = 0;
    std::wstring name;
    WORD id = 0;
    bool found = false;
};

BOOL CALLBACK CountGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR parameter) {
    auto* search = reinterpret_cast<GroupSearch*>(parameter);
    if (search->seen++ != search->wanted)
        return TRUE;
    if (IS_INTRESOURCE(name))
        search->id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    else
        search->name = name;
    search->found = true;
    return FALSE;
}

// The largest image of the icon at index in a module's resources: the index-th icon group, or for a negative index the
// group whose id is -index.
UniqueIcon LargestModuleIcon(HMODULE module, int index) {
    GroupSearch search;
    if (index < 0) {
        search.id = static_cast<WORD>(-index);
        search.found = true;
    } else {
        search.wanted = index;
        ::EnumResourceNamesW(module, RT_GROUP_ICON, &CountGroup, reinterpret_cast<LONG_PTR>(&search));
    }
    if (!search.found)
        return {};
    const HRSRC group =
        ::FindResourceW(module, search.name.empty() ? MAKEINTRESOURCEW(search.id) : search.name.c_str(), RT_GROUP_ICON);
    const HGLOBAL groupData = group != nullptr ? ::LoadResource(module, group) : nullptr;
    if (groupData == nullptr)
        return {};
    const std::optional<IconEntry> entry =
        LargestEntry(static_cast<const BYTE*>(::LockResource(groupData)), ::SizeofResource(module, group), 14);
    if (!entry)
        return {};
    const HRSRC image = ::FindResourceW(module, MAKEINTRESOURCEW(entry->idOrOffset), RT_ICON);
    const HGLOBAL imageData = image != nullptr ? ::LoadResource(module, image) : nullptr;
    if (imageData == nullptr)
        return {};
    return IconFromBits(static_cast<const BYTE*>(::LockResource(imageData)), ::SizeofResource(module, image));
}

UniqueIcon LargestFileIcon(const std::wstring& file) {
    const KernelHandle handle(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length{};
    if (!handle || !::GetFileSizeEx(handle.get(), &length) || length.QuadPart < 6 || length.QuadPart > kLargestIconFile)
        return {};
    std::vector<BYTE> bytes(static_cast<std::size_t>(length.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size())
        return {};
    const std::optional<IconEntry> entry = LargestEntry(bytes.data(), bytes.size(), 16);
    if (!entry || entry->idOrOffset >= bytes.size() || entry->bytes > bytes.size() - entry->idOrOffset)
        return {};
    return IconFromBits(bytes.data() + entry->idOrOffset, entry->bytes);
}

// The largest image of the icon at this location: a module's resource or an .ico file.
UniqueIcon LargestIcon(const std::wstring& file, int index) {
    const UniqueModule module(
        ::LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (module)
        return LargestModuleIcon(module.get(), index);
    return index == 0 ? LargestFileIcon(file) : UniqueIcon();
}

struct IconLocation {
    std::wstring file;
    int index = 0;
};

std::wstring Expanded(const wchar_t* text) {
    std::wstring expanded(MAX_PATH, L'\0');
    const DWORD length = ::ExpandEnvironmentStringsW(text, expanded.data(), static_cast<DWORD>(expanded.size()));
    if (length == 0 || length > expanded.size())
        return text;
    expanded.resize(length - 1);
    return expanded;
}

std::optional<IconLocation> EntryIconLocation(const std::wstring& path) {
    SHFILEINFOW info{};
    if (::SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_ICONLOCATION) == 0 || info.szDisplayName[0] == 0)
        return std::nullopt;
    return IconLocation{Expanded(info.szDisplayName), info.iIcon};
}

std::optional<IconLocation> GenericIconLocation() {
    SHSTOCKICONINFO info{};
    info.cbSize = sizeof(info);
    if (FAILED(::SHGetStockIconInfo(SIID_DOCNOASSOC, SHGSI_ICONLOCATION, &info)) || info.szPath[0] == 0)
        return std::nullopt;
    return IconLocation{Expanded(info.szPath), info.iIcon};
}

std::optional<PremultipliedImage> FromImageFactory(const std::wstring& path, int size) {
    ComPtr<IShellItemImageFactory> factory;
    if (FAILED(::SHCreateItemFromParsingName(path.c_str(), nullptr, __uuidof(IShellItemImageFactory),
                                             factory.put_void())) ||
        !factory)
        return std::nullopt;
    HBITMAP made = nullptr;
    if (FAILED(factory->GetImage(SIZE{size, size}, static_cast<SIIGBF>(SIIGBF_ICONONLY | SIIGBF_RESIZETOFIT), &made)))
        return std::nullopt;
    const UniqueBitmap owned(made);
    return owned ? ReadBitmap(owned.get()) : std::nullopt;
}

std::optional<PremultipliedImage> FromLargestImage(const IconLocation& location) {
    return LargestIconImage(location.file, location.index);
}

std::optional<PremultipliedImage> ExtractedAtSize(const IconLocation& location, int size) {
    HICON extracted = nullptr;
    if (::SHDefExtractIconW(location.file.c_str(), location.index, 0, &extracted, nullptr, static_cast<UINT>(size)) !=
            S_OK ||
        extracted == nullptr)
        return std::nullopt;
    const UniqueIcon icon(extracted);
    return IconPixels(icon.get());
}

// Box and tent filters: each output pixel's source pixels and their weights along one axis.
struct Tap {
    int index;
    float weight;
};

std::vector<std::vector<Tap>> Taps(int from, int to) {
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(to));
    const float scale = static_cast<float>(from) / static_cast<float>(to);
    for (int t = 0; t < to; ++t) {
        std::vector<Tap>& out = taps[static_cast<std::size_t>(t)];
        if (to <= from) {
            const float start = static_cast<float>(t) * scale;
            const float end = start + scale;
            for (int i = static_cast<int>(start); i < from && static_cast<float>(i) < end; ++i) {
                const float covered = std::min(end, static_cast<float>(i + 1)) - std::max(start, static_cast<float>(i));
                if (covered > 0)
                    out.push_back({i, covered / scale});
            }
        } else {
            const float x =
                std::clamp((static_cast<float>(t) + 0.5F) * scale - 0.5F, 0.0F, static_cast<float>(from - 1));
            const int left = static_cast<int>(x);
            const float right = x - static_cast<float>(left);
            out.push_back({left, 1.0F - right});
            if (right > 0 && left + 1 < from)
                out.push_back({left + 1, right});
        }
    }
    return taps;
}

}  // namespace

std::optional<PremultipliedImage> LargestIconImage(const std::wstring& file, int index) {
    const UniqueIcon icon = LargestIcon(file, index);
    return icon ? IconPixels(icon.get()) : std::nullopt;
}

PremultipliedImage FitImage(const PremultipliedImage& image, int size) {
    PremultipliedImage fitted{size, size, std::vector<std::uint32_t>(static_cast<std::size_t>(size) * size, 0)};
    if (size <= 0 || image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
        return fitted;
    const double scale = std::min(static_cast<double>(size) / image.width, static_cast<double>(size) / image.height);
    const int width = std::clamp(static_cast<int>(std::lround(image.width * scale)), 1, size);
    const int height = std::clamp(static_cast<int>(std::lround(image.height * scale)), 1, size);
    const std::vector<std::vector<Tap>> across = Taps(image.width, width);
    const std::vector<std::vector<Tap>> down = Taps(image.height, height);
    // Across first, into floats: four channels a pixel.
    std::vector<float> rows(static_cast<std::size_t>(width) * image.height * 4, 0.0F);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < width; ++x) {
            float* out = &rows[(static_cast<std::size_t>(y) * width + x) * 4];
            for (const Tap& tap : across[static_cast<std::size_t>(x)]) {
                const std::uint32_t p = image.pixels[static_cast<std::size_t>(y) * image.width + tap.index];
                for (int c = 0; c < 4; ++c)
                    out[c] += tap.weight * static_cast<float>(Channel(p, c * 8));
            }
        }
    }
    const int left = (size - width) / 2;
    const int top = (size - height) / 2;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::array<float, 4> sum{};
            for (const Tap& tap : down[static_cast<std::size_t>(y)]) {
                const float* in = &rows[(static_cast<std::size_t>(tap.index) * width + x) * 4];
                for (int c = 0; c < 4; ++c)
                    sum[static_cast<std::size_t>(c)] += tap.weight * in[c];
            }
            std::array<std::uint32_t, 4> channel{};
            for (std::size_t c = 0; c < 4; ++c)
                channel[c] = static_cast<std::uint32_t>(std::clamp(std::lround(sum[c]), 0L, 255L));
            const std::uint32_t alpha = channel[3];
            fitted.pixels[static_cast<std::size_t>(top + y) * size + left + x] =
                Pack(std::min(channel[0], alpha), std::min(channel[1], alpha), std::min(channel[2], alpha), alpha);
        }
    }
    return fitted;
}

namespace {

PremultipliedImage Fitted(PremultipliedImage image, int size) {
    return image.width == size && image.height == size ? std::move(image) : FitImage(image, size);
}

// Makes pictures of one size. Entries whose icon the shell names at one location (every document of a kind, and
// under Wine every shortcut) share the work.
class PictureMaker {
public:
    explicit PictureMaker(int size) : size_(size) {}

    LinkPicture Make(const std::wstring& path) {
        LinkPicture picture;
        if (std::optional<PremultipliedImage> image = FromImageFactory(path, size_)) {
            picture.source = PictureSource::ImageFactory;
            picture.bitmap = MakeBitmap(Fitted(std::move(*image), size_));
            return picture;
        }
        // Where the shell item gives no picture, the icon it names.
        const std::optional<IconLocation> location = EntryIconLocation(path);
        const Picture* found = location ? &At(*location) : nullptr;
        if (found == nullptr || !found->image) {
            const std::optional<IconLocation> generic = GenericIconLocation();
            found = generic ? &At(*generic) : nullptr;
            picture.source = PictureSource::GenericIcon;
        } else {
            picture.source = found->source;
        }
        if (found == nullptr || !found->image) {
            picture.source = PictureSource::Blank;
            picture.bitmap = MakeBitmap(FitImage({}, size_));
            return picture;
        }
        picture.bitmap = MakeBitmap(*found->image);
        return picture;
    }

private:
    struct Picture {
        std::optional<PremultipliedImage> image;  // at the size; nothing when the location gives none
        PictureSource source = PictureSource::Blank;
    };

    const Picture& At(const IconLocation& location) {
        const auto key = std::make_pair(location.file, location.index);
        const auto known = byLocation_.find(key);
        if (known != byLocation_.end())
            return known->second;
        Picture picture;
        std::optional<PremultipliedImage> image = FromLargestImage(location);
        picture.source = PictureSource::LargestImage;
        if (!image) {
            image = ExtractedAtSize(location, size_);
            picture.source = PictureSource::ExtractedIcon;
        }
        if (image)
            picture.image = Fitted(std::move(*image), size_);
        return byLocation_.emplace(key, std::move(picture)).first->second;
    }

    int size_;
    std::map<std::pair<std::wstring, int>, Picture> byLocation_;
};

}  // namespace

LinkPicture MakeLinkPicture(const std::wstring& path, int size) {
    return PictureMaker(size).Make(path);
}

std::vector<UniqueBitmap> SmallIcons(const std::vector<std::string>& paths, int size) {
    PictureMaker maker(size);
    std::vector<UniqueBitmap> icons;
    icons.reserve(paths.size());
    for (const std::string& path : paths)
        icons.push_back(maker.Make(Utf8ToWide(path)).bitmap);
    return icons;
}

LinkIcons::LinkIcons() = default;

LinkIcons::~LinkIcons() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        ++generation_;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void LinkIcons::Request(std::vector<std::string> paths, int size, Ready ready) {
    Job job;
    job.size = size;
    job.paths.reserve(paths.size());
    for (const std::string& path : paths)
        job.paths.push_back(Utf8ToWide(path));
    ready_ = std::move(ready);
    {
        const std::lock_guard lock(mutex_);
        job.generation = ++generation_;
        job_.reset();
    }
    // The pictures are started on once the window has painted, and their thread only then: the shell's icon handlers
    // would otherwise take the processor and the loader from the start-up, whose first paint needs none of them.
    auto pending = std::make_shared<Job>(std::move(job));
    queue_.PostWhenIdle([this, pending] { Start(std::move(*pending)); });
}

void LinkIcons::Start(Job job) {
    if (!Current(job))
        return;
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { Work(); });
        } catch (...) {
            // Without a thread of their own the pictures are made here.
        }
    }
    if (thread_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            job_ = std::move(job);
        }
        wake_.notify_all();
        return;
    }
    PictureMaker maker(job.size);
    std::vector<LinkPicture> pictures;
    for (std::size_t i = 0; i < job.paths.size(); ++i) {
        pictures.push_back(maker.Make(job.paths[i]));
        pictures.back().position = i;
    }
    Deliver(job.generation, std::move(pictures), true);
}

void LinkIcons::Cancel() {
    const std::lock_guard lock(mutex_);
    ++generation_;
    job_.reset();
}

bool LinkIcons::Current(const Job& job) {
    const std::lock_guard lock(mutex_);
    return !stopping_ && generation_ == job.generation;
}

void LinkIcons::Deliver(std::uint64_t generation, std::vector<LinkPicture> pictures, bool last) {
    // generation_ is written on this thread only.
    if (generation != generation_)
        return;
    const Ready ready = ready_;
    if (ready)
        ready(std::move(pictures), last);
}

void LinkIcons::Work() noexcept {
    try {
        const ComApartment apartment;
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || job_.has_value(); });
                if (stopping_)
                    return;
                job = std::move(*job_);
                job_.reset();
            }
            PictureMaker maker(job.size);
            std::vector<LinkPicture> batch;
            DWORD handedOver = ::GetTickCount();
            for (std::size_t i = 0; i <= job.paths.size() && Current(job); ++i) {
                const bool last = i == job.paths.size();
                if (!last) {
                    batch.push_back(maker.Make(job.paths[i]));
                    batch.back().position = i;
                }
                if (last || ::GetTickCount() - handedOver >= kBatchMilliseconds) {
                    auto pictures = std::make_shared<std::vector<LinkPicture>>(std::move(batch));
                    batch.clear();
                    queue_.Post([this, generation = job.generation, pictures, last] {
                        Deliver(generation, std::move(*pictures), last);
                    });
                    handedOver = ::GetTickCount();
                }
            }
        }
    } catch (...) {
        // The pictures stop coming rather than the program.
    }
}

}  // namespace nimbrel::win32
