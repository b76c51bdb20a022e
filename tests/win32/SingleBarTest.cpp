// The name that keys one bar to its program folder, on real folders.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "win32/SingleBar.h"

namespace nimbrel::win32 {
namespace {

std::wstring Upper(std::wstring text) {
    ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring ShortName(const std::wstring& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    buffer.resize(::GetShortPathNameW(path.c_str(), buffer.data(), MAX_PATH));
    return buffer;
}

TEST(SingleBarTest, OneNamePerFolderWhateverItsSpelling) {
    test::ScratchFolder scratch;
    const std::wstring bar = scratch.Join(L"Nimbrel launcher bar");
    const std::wstring other = scratch.Join(L"Nimbrel launcher bar 2");
    ASSERT_TRUE(::CreateDirectoryW(bar.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(other.c_str(), nullptr));
    const std::wstring name = BarMutexName(CanonicalPath(bar));

    const std::wstring shortName = ShortName(bar);
    ASSERT_FALSE(shortName.empty());
    ASSERT_NE(shortName, bar);
    struct Spelling {
        const wchar_t* what;
        std::wstring path;
    };
    for (const Spelling& spelling : {Spelling{L"upper case", Upper(bar)}, Spelling{L"8.3 short name", shortName},
                                     Spelling{L"dot segment", bar + L"\\."}}) {
        SCOPED_TRACE(spelling.what);
        EXPECT_EQ(BarMutexName(CanonicalPath(spelling.path)), name);
        EXPECT_TRUE(SamePath(CanonicalPath(spelling.path), CanonicalPath(bar)));
    }
    EXPECT_NE(BarMutexName(CanonicalPath(other)), name);
    EXPECT_FALSE(SamePath(CanonicalPath(other), CanonicalPath(bar)));

    // A kernel object name in the session's namespace: one backslash, after "Local".
    EXPECT_EQ(name.rfind(L"Local\\", 0), 0u);
    EXPECT_EQ(name.find(L'\\', 6), std::wstring::npos);
    EXPECT_LT(name.size(), static_cast<std::size_t>(MAX_PATH));
}

}  // namespace
}  // namespace nimbrel::win32
