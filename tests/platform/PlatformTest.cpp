#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/HResult.h"
#include "platform/Machine.h"
#include "platform/Memory.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "support/TestSupport.h"

TEST(HResultNames, KnownAndUnknownCodes) {
    struct Case {
        HRESULT code;
        const char* name;
    } cases[] = {
        {S_OK, "S_OK"},
        {E_FAIL, "E_FAIL"},
        {hr(0x80004005), "E_FAIL"},
        {D3DERR_DEVICELOST, "D3DERR_DEVICELOST"},
        {hr(0x88760868), "D3DERR_DEVICELOST"},
        {hr(0x8876017C), "D3DERR_OUTOFVIDEOMEMORY"},
        {D3DERR_INVALIDCALL, "D3DERR_INVALIDCALL"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {DSERR_BUFFERLOST, "DSERR_BUFFERLOST"},
        // The documented numbers, written out so a wrong constant shows.
        {hr(0x88760818), "D3DERR_WRONGTEXTUREFORMAT"},
        {hr(0x88760827), "D3DERR_DRIVERINTERNALERROR"},
        {hr(0x8876086C), "D3DERR_INVALIDCALL"},
        {hr(0x8876021C), "D3DERR_WASSTILLDRAWING"},
        {hr(0x88760B54), "D3DXERR_CANNOTMODIFYINDEXBUFFER"},
        {hr(0x88760B59), "D3DXERR_INVALIDDATA"},
        {hr(0x88760B5B), "D3DXERR_DUPLICATENAMEDFRAGMENT"},
        {hr(0x88780096), "DSERR_BUFFERLOST"},
        {hr(0x8007001E), "DIERR_INPUTLOST"},
        {hr(0x80070057), "E_INVALIDARG"},
        {hr(0x12345678), "Unknown"},
        {-1, "Unknown"},
    };
    for (const Case& c : cases) EXPECT_STREQ(hresultName(c.code), c.name) << std::hex << c.code;
}

TEST(PlatformText, WideningIsOneUnitPerByte) {
    std::string bytes = "a\x82\xa0Z";
    std::u16string wide = text::widen(bytes);
    ASSERT_EQ(wide.size(), 4u);
    EXPECT_EQ(wide[1], 0x82);
    EXPECT_EQ(wide[2], 0xA0);
    EXPECT_EQ(text::narrow(wide), bytes);
    EXPECT_EQ(text::narrow(u"\u3042x"), "?x");
    // Every byte value, long enough for the sixteen-at-a-time path and a tail.
    std::string all;
    for (int i = 0; i < 256 + 7; ++i) all.push_back(static_cast<char>(i & 0xFF));
    std::u16string allWide = text::widen(all);
    ASSERT_EQ(allWide.size(), all.size());
    for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(allWide[i], static_cast<char16_t>(i & 0xFF)) << i;
}

TEST(PlatformText, Cp932RoundTripsThroughUtf8) {
    const std::string cp932 = "\x82\xa0\x83\x65\x83\x58\x83\x67";  // あテスト
    EXPECT_EQ(text::cp932ToUtf8(cp932), "あテスト");
    EXPECT_EQ(text::utf8ToCp932("あテスト"), cp932);
    EXPECT_EQ(text::cp932ToUtf8("plain"), "plain");
    // A lone lead byte does not stop the conversion.
    EXPECT_EQ(text::cp932ToUtf8("a\x82"), "a?");

    // What does not convert becomes one '?' per character, never a stray
    // second byte (which could read as '\\' or a letter).
    struct Case {
        const char* in;
        const char* out;
    } toUtf8[] = {
        {"\x85\x5c", "?"},             // unassigned pair whose second byte is '\\'
        {"\x85\x41z", "?z"},           // unassigned pair whose second byte is 'A'
        {"\x82\x20z", "? z"},          // a lead byte before a byte that cannot follow it
        {"\xa0\xfd", "??"},            // single bytes without a character
        {"\x5c~\xb1", "\\~\xef\xbd\xb1"},  // '\\' and '~' stay ASCII; half-width katakana
    }, toCp932[] = {
        {"\xf0\x9f\x98\x80x", "?x"},       // a character cp932 lacks
        {"\xe3\x81", "?"},                 // cut short at the end
        {"\xff" "a", "?a"},                // not UTF-8 at all
        {"\xe3\x81" "a", "?a"},            // cut short by a byte that cannot continue it
        {"\xe3\x80\x9c", "\x81\x60"},       // wave dash
    };
    for (const Case& c : toUtf8) EXPECT_EQ(text::cp932ToUtf8(c.in), c.out) << c.in;
    for (const Case& c : toCp932) EXPECT_EQ(text::utf8ToCp932(c.in), c.out) << c.in;
}

TEST(PlatformText, CaseAndClassesAreAsciiOnly) {
    EXPECT_EQ(text::asciiLower("FiRe\xC4"), "fire\xC4");
    EXPECT_EQ(text::asciiLower(std::u16string(u"ACTION\u00C4")), u"action\u00C4");
    EXPECT_TRUE(text::equalsIgnoreAsciiCase("On", "oN"));
    EXPECT_FALSE(text::equalsIgnoreAsciiCase("on", "onn"));
    EXPECT_FALSE(text::isAsciiAlpha(0xC4));
    EXPECT_FALSE(text::isAsciiSpace(0xA0));
    EXPECT_TRUE(text::isAsciiSpace('\v'));
    EXPECT_TRUE(text::isAsciiXDigit('F'));
}

TEST(PlatformPath, MapsWindowsPathsUnderTheRoot) {
    TempRoot root;
    root.writeFile("Data/Score.DAT", "x");
    struct Case {
        const char* windowsPath;
        const char* expected;  // relative to the root; nullptr = refused
    } cases[] = {
        {"data\\score.dat", "Data/Score.DAT"},
        {"DATA/SCORE.dat", "Data/Score.DAT"},
        {".\\data\\score.dat", "Data/Score.DAT"},
        {"data\\new.dat", "Data/new.dat"},
        {"missing\\file.txt", "missing/file.txt"},
        {"debug.txt", "debug.txt"},
        {"..\\secret", nullptr},
        {"data\\..\\..\\x", nullptr},
        {"\\etc\\passwd", nullptr},
        {"/etc/passwd", nullptr},
        {"C:\\Windows", nullptr},
        {"c:x", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        std::optional<std::filesystem::path> mapped = Path::resolve(c.windowsPath);
        if (!c.expected) {
            EXPECT_FALSE(mapped) << c.windowsPath;
        } else {
            ASSERT_TRUE(mapped) << c.windowsPath;
            EXPECT_EQ(*mapped, root.path() / c.expected) << c.windowsPath;
        }
    }
}

TEST(PlatformPath, Cp932NamesBecomeUtf8OnDisk) {
    TempRoot root;
    root.writeFile("音/a.txt", "x");
    std::optional<std::filesystem::path> mapped = Path::resolve("\x89\xb9\\a.txt");
    ASSERT_TRUE(mapped);
    EXPECT_EQ(*mapped, root.path() / "音" / "a.txt");
    EXPECT_EQ(Path::listFiles("\x89\xb9"), std::vector<std::string>{"a.txt"});

    // A second byte of 0x5C inside a character is not a separator.
    root.writeFile("表示/ソース.txt", "y");
    mapped = Path::resolve("\x95\x5c\x8e\xa6\\\x83\x5c\x81\x5b\x83\x58.txt");
    ASSERT_TRUE(mapped);
    EXPECT_EQ(*mapped, root.path() / "表示" / "ソース.txt");
    EXPECT_TRUE(File::exists("\x95\x5c\x8e\xa6/\x83\x5c\x81\x5b\x83\x58.txt"));
}

TEST(PlatformPath, NamesEndAtNulAndCaseTiesAreStable) {
    TempRoot root;
    // A name handed to the file calls ends at its first NUL, as a C string does.
    std::optional<std::filesystem::path> mapped = Path::resolve(std::string_view("debug.txt\0\\..\\x", 15));
    ASSERT_TRUE(mapped);
    EXPECT_EQ(*mapped, root.path() / "debug.txt");
    EXPECT_FALSE(Path::resolve(std::string_view("\0data", 5)));

    // Names that differ only in case: the byte-wise smallest is chosen,
    // whatever order the folder lists them in.
    for (const char* name : {"save.DAT", "Save.dat", "SAVE.dat", "saVe.dat"}) root.writeFile(std::string("d/") + name, name);
    mapped = Path::resolve("d\\save.dat");
    ASSERT_TRUE(mapped);
    EXPECT_EQ(mapped->filename(), "SAVE.dat");
}

TEST(PlatformFile, OpenModes) {
    TempRoot root;
    EXPECT_FALSE(File::openExisting("data\\none.dat"));
    root.writeFile("data/a.dat", "hello");

    // Open-always keeps what is there.
    {
        File f = File::openAlways("data\\a.dat");
        ASSERT_TRUE(f);
        EXPECT_EQ(f.size(), 5);
    }
    // Open-always creates a missing file.
    {
        File f = File::openAlways("data\\b.dat");
        ASSERT_TRUE(f);
        EXPECT_EQ(f.size(), 0);
    }
    // Create-always truncates.
    {
        File f = File::createAlways("data\\a.dat");
        ASSERT_TRUE(f);
        EXPECT_EQ(f.size(), 0);
        EXPECT_EQ(f.write("xy", 2), 2u);
    }
    File f = File::openExisting("DATA\\A.DAT");
    ASSERT_TRUE(f);
    char buffer[8] = {};
    EXPECT_EQ(f.readAt(1, buffer, 8), 1u);
    EXPECT_EQ(buffer[0], 'y');
    EXPECT_FALSE(File::openExisting("data"));  // a folder is not a file
    EXPECT_FALSE(File::openExisting("..\\x"));
}

TEST(PlatformFile, WriteReplacingSwapsWholeFiles) {
    TempRoot root;
    root.writeFile("data/r.dat", "old contents");
    ASSERT_TRUE(File::writeReplacing("data\\r.dat", "new", 3));
    EXPECT_EQ(root.readFile("data/r.dat"), "new");
    EXPECT_FALSE(root.exists("data/r.dat.tmp"));
    // A folder that does not exist: refused, nothing left behind.
    EXPECT_FALSE(File::writeReplacing("nofolder\\r.dat", "x", 1));
    EXPECT_FALSE(root.exists("nofolder"));
    std::optional<std::vector<std::uint8_t>> bytes = File::readAll("data\\r.dat", 1u << 20);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 3u);
}

TEST(PlatformFileThreads, WritersOfOneFileTakeTurns) {
    TempRoot root;
    root.writeFile("data/r.dat", "");
    // Two writers, each always writing a whole file of its own letter: every
    // write succeeds and the file always holds one writer's whole contents.
    const std::string contents[2] = {std::string(65536, 'a'), std::string(40000, 'b')};
    std::atomic<int> failedWrites{0}, mixedReads{0};
    std::atomic<bool> writing{true};
    auto writer = [&](int which) {
        for (int i = 0; i < 40; ++i) {
            if (!File::writeReplacing("data\\r.dat", contents[which].data(), contents[which].size())) ++failedWrites;
        }
    };
    std::thread reader([&] {
        while (writing) {
            std::optional<std::vector<std::uint8_t>> bytes = File::readAll("data\\r.dat", 1u << 20);
            if (!bytes || bytes->empty()) continue;
            std::string seen(bytes->begin(), bytes->end());
            if (seen != contents[0] && seen != contents[1]) ++mixedReads;
        }
    });
    std::thread first(writer, 0), second(writer, 1);
    first.join();
    second.join();
    writing = false;
    reader.join();
    EXPECT_EQ(failedWrites, 0);
    EXPECT_EQ(mixedReads, 0);
    const std::string last = root.readFile("data/r.dat");
    EXPECT_TRUE(last == contents[0] || last == contents[1]);
    EXPECT_FALSE(root.exists("data/r.dat.tmp"));
}

TEST(PlatformClock, FakeClockSleepsInVirtualTimeAndWraps) {
    FakeClock fake(0xFFFFFFF0u);
    Clock::setInstance(&fake);
    Clock::instance().sleep(0x20);
    EXPECT_EQ(Clock::instance().timeGetTime(), 0x10u);
    EXPECT_EQ(fake.sleeps(), 1u);
    Clock::setInstance(nullptr);
    std::uint32_t a = Clock::instance().timeGetTime();
    Clock::instance().sleep(2);
    EXPECT_GE(static_cast<std::uint32_t>(Clock::instance().timeGetTime() - a), 2u);
}

TEST(PlatformMachine, MeminfoIsCountedIn64Bits) {
    MemoryStatus s = SystemMachine::parseMeminfo(
        "MemTotal:       67108864 kB\n"
        "MemFree:         1000000 kB\n"
        "MemAvailable:   33554432 kB\n"
        "SwapTotal:       4194304 kB\n"
        "SwapFree:        4194304 kB\n");
    EXPECT_EQ(s.totalPhys, 68719476736ull);  // 64 GiB: would wrap in 32 bits
    EXPECT_EQ(s.availPhys, 34359738368ull);
    EXPECT_EQ(s.totalPageFile, 68719476736ull + 4294967296ull);
    EXPECT_EQ(s.memoryLoad, 50u);
    EXPECT_GT(Machine::instance().memoryStatus().totalPhys, 0u);
    EXPECT_FALSE(Machine::instance().osInfo().sysname.empty());
}

// The advice covers the whole pages inside the region and nothing around
// them; a region inside one page, an empty or a null one is left alone.
TEST(PlatformMemory, LargePageAdviceCoversTheWholePagesOfARegion) {
    if (!largePagesOnAdvice()) GTEST_SKIP() << "no large pages on advice here";
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t bytes = 16 * page;
    auto* base = static_cast<char*>(mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(base, MAP_FAILED);

    // Starts inside the first page and ends inside the last one.
    adviseLargePages(base + 16, bytes - page);
    EXPECT_FALSE(hasLargePageAdvice(base));
    EXPECT_TRUE(hasLargePageAdvice(base + page));
    EXPECT_TRUE(hasLargePageAdvice(base + bytes - 2 * page));
    EXPECT_FALSE(hasLargePageAdvice(base + bytes - page));

    auto* small = static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(small, MAP_FAILED);
    adviseLargePages(small + 8, page);
    adviseLargePages(small, 0);
    adviseLargePages(nullptr, bytes);
    EXPECT_FALSE(hasLargePageAdvice(small));
    EXPECT_FALSE(hasLargePageAdvice(small + page));
    munmap(small, 2 * page);
    munmap(base, bytes);
}

// Pages of a fresh anonymous mapping are resident only once used:
// populatePages makes the whole pages of the span resident, keeps what they
// hold, and leaves the pages it only partly covers alone.
TEST(PlatformMemory, PopulatePagesMakesTheWholePagesResident) {
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    const std::size_t bytes = 8 * page;
    auto* base = static_cast<char*>(mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(base, MAP_FAILED);
    auto residentPages = [&] {
        std::vector<unsigned char> resident(bytes / page);
        EXPECT_EQ(mincore(base, bytes, resident.data()), 0);
        std::string marks;
        for (unsigned char r : resident) marks += (r & 1) ? 'R' : '-';
        return marks;
    };
    base[3 * page + 5] = 42;
    EXPECT_EQ(residentPages(), "---R----");

    populatePages(base + 16, 5 * page);  // whole pages 1 to 4, page 5 only in part
    EXPECT_EQ(residentPages(), "-RRRR---");
    EXPECT_EQ(base[3 * page + 5], 42);
    EXPECT_EQ(base[2 * page], 0);

    populatePages(nullptr, bytes);
    populatePages(base + 6 * page + 1, page);  // no whole page in it
    populatePages(base, 0);
    EXPECT_EQ(residentPages(), "-RRRR---");
    munmap(base, bytes);
}

TEST(PlatformEvent, AutoResetAndConsumeOnTest) {
    Event e;
    EXPECT_FALSE(e.test());
    e.set();
    EXPECT_TRUE(e.peek());
    EXPECT_TRUE(e.test());
    EXPECT_FALSE(e.test());  // the test consumed it
    Event initially(true);
    EXPECT_TRUE(initially.wait(0));
    Event a, b;
    b.set();
    EXPECT_EQ(Event::waitAny({&a, &b}, 0), 1);
    EXPECT_EQ(Event::waitAny({&a, &b}, 0), -1);
    EXPECT_FALSE(a.wait(5));
}

TEST(PlatformEventThreads, WorkerHandshake) {
    Event request, done, quit;
    int passes = 0;
    WorkerThread worker;
    worker.start([&] {
        for (;;) {
            int which = Event::waitAny({&quit, &request});
            if (which == 0) return;
            ++passes;
            done.set();
        }
    });
    for (int i = 0; i < 50; ++i) {
        request.set();
        ASSERT_TRUE(done.wait(5000));
    }
    quit.set();
    worker.join();
    EXPECT_EQ(passes, 50);
    EXPECT_FALSE(worker.running());
    worker.join();  // a second join is harmless
}

TEST(PlatformEventThreads, WorkerKnowsItselfFromItsFirstInstruction) {
    WorkerThread worker;
    std::atomic<bool> seenInside{false};
    worker.start([&] { seenInside = worker.isCurrent(); });
    worker.join();
    EXPECT_TRUE(seenInside);
    EXPECT_FALSE(worker.isCurrent());
    bool seenElsewhere = true;
    std::thread other([&] { seenElsewhere = worker.isCurrent(); });
    other.join();
    EXPECT_FALSE(seenElsewhere);
}

TEST(PlatformEventThreads, EndThisThreadEndsOnlyTheWorker) {
    std::atomic<bool> after{false};
    WorkerThread worker;
    worker.start([&] {
        EXPECT_FALSE(isMainThread());
        endThisThread();
        after = true;
    });
    worker.join();
    EXPECT_FALSE(after);
    std::mutex& m1 = namedMutex("XMLManagerManager");
    std::mutex& m2 = namedMutex("XMLManagerManager");
    EXPECT_EQ(&m1, &m2);
    EXPECT_NE(&m1, &namedMutex("other"));
}

TEST(PlatformWindow, CursorFollowsTheShowCounter) {
    TestWindow window;
    EXPECT_EQ(window.showCursor(false), -1);
    EXPECT_FALSE(window.cursorVisible);
    EXPECT_EQ(window.showCursor(false), -2);
    EXPECT_EQ(window.showCursor(true), -1);
    EXPECT_FALSE(window.cursorVisible);  // one show does not undo two hides
    EXPECT_EQ(window.showCursor(true), 0);
    EXPECT_TRUE(window.cursorVisible);
}

TEST(PlatformWindow, PostedMessagesComeBeforeBackendEventsAndQuitEndsDispatch) {
    TestWindow window;
    window.inject(WM_SETFOCUS);
    window.postMessage(WM_SYSCOMMAND, SC_SIZE);
    WindowMessage m;
    ASSERT_TRUE(window.peekMessage(m));
    EXPECT_EQ(m.message, WM_SYSCOMMAND);
    ASSERT_TRUE(window.peekMessage(m));
    EXPECT_EQ(m.message, WM_SETFOCUS);
    EXPECT_FALSE(window.peekMessage(m));
    window.postQuitMessage(0);
    ASSERT_TRUE(window.peekMessage(m));
    EXPECT_EQ(m.message, WM_QUIT);
}

TEST(PlatformWindow, SdlEventsBecomeWin32Messages) {
    ASSERT_TRUE(SdlWindow::initEvents());
    SdlWindow window;
    auto windowEvent = [](Uint8 what) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = what;
        return e;
    };
    auto key = [](SDL_Keycode sym, Uint16 mod, Uint8 repeat = 0) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        e.key.repeat = repeat;
        return e;
    };
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_Event otherWindowClose = windowEvent(SDL_WINDOWEVENT_CLOSE);
    otherWindowClose.window.windowID = 4242;
    struct Case {
        const char* what;
        SDL_Event event;
        std::uint32_t message;  // 0: no message
        std::uintptr_t wParam;
    } cases[] = {
        {"close button", windowEvent(SDL_WINDOWEVENT_CLOSE), WM_CLOSE, 0},
        {"focus", windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED), WM_SETFOCUS, 0},
        {"maximise", windowEvent(SDL_WINDOWEVENT_MAXIMIZED), WM_SYSCOMMAND, SC_MAXIMIZE},
        {"resize", windowEvent(SDL_WINDOWEVENT_RESIZED), WM_SYSCOMMAND, SC_SIZE},
        {"focus lost", windowEvent(SDL_WINDOWEVENT_FOCUS_LOST), 0, 0},
        {"another window's close", otherWindowClose, 0, 0},
        {"Alt+Enter", key(SDLK_RETURN, KMOD_LALT), WM_SYSKEYDOWN, VK_RETURN},
        {"Alt+keypad Enter", key(SDLK_KP_ENTER, KMOD_RALT), WM_SYSKEYDOWN, VK_RETURN},
        {"Alt+F4", key(SDLK_F4, KMOD_LALT), WM_SYSKEYDOWN, VK_F4},
        {"Enter without Alt", key(SDLK_RETURN, KMOD_NONE), 0, 0},
        {"Alt+Enter held (repeat)", key(SDLK_RETURN, KMOD_LALT, 1), 0, 0},
        {"Alt+A", key(SDLK_a, KMOD_LALT), 0, 0},
        {"quit (window manager, SIGINT, SIGTERM)", quit, WM_CLOSE, 0},
    };
    for (Case& c : cases) {
        ASSERT_EQ(SDL_PushEvent(&c.event), 1) << SDL_GetError();
        WindowMessage m;
        // SDL marks the end of each polling round, so an event pushed
        // between rounds may take a second peek to arrive.
        bool taken = window.peekMessage(m) || window.peekMessage(m);
        EXPECT_EQ(taken, c.message != 0) << c.what;
        if (taken) {
            EXPECT_EQ(m.message, c.message) << c.what;
            EXPECT_EQ(m.wParam, c.wParam) << c.what;
        }
    }
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}
