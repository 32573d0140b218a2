#include "platform/sdl/SdlMediaControl.h"
#include "platform/qt/FirstUseMediaControl.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

using kadrill::platform::Event;
using kadrill::platform::MediaError;
using kadrill::platform::sdl::SdlMediaControl;

namespace {

// Generous: the sanitizer build on a loaded machine starts FluidSynth slowly.
constexpr int kDoneTimeoutMs = 10'000;
// The mixer finds a sound's end up to one output buffer (about 90 ms) before it is heard.
constexpr qint64 kEndSlackMs = 200;

void putLittleEndian(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.put(static_cast<char>((value >> (8 * i)) & 0xFFu));
    }
}

// A 440 Hz sine at half of full scale, 16-bit mono PCM, by default at the output's own rate.
void writeWav(const std::string& path, double seconds, std::uint32_t kRate = 44100) {
    const auto frames = static_cast<std::uint32_t>(seconds * kRate);
    std::ofstream out(path, std::ios::binary);
    out << "RIFF";
    putLittleEndian(out, 36 + frames * 2, 4);
    out << "WAVEfmt ";
    putLittleEndian(out, 16, 4);
    putLittleEndian(out, 1, 2); // PCM
    putLittleEndian(out, 1, 2); // mono
    putLittleEndian(out, kRate, 4);
    putLittleEndian(out, kRate * 2, 4);
    putLittleEndian(out, 2, 2);
    putLittleEndian(out, 16, 2);
    out << "data";
    putLittleEndian(out, frames * 2, 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double phase = 2.0 * std::numbers::pi * 440.0 * i / kRate;
        const auto sample = static_cast<std::int16_t>(std::lround(16383.0 * std::sin(phase)));
        putLittleEndian(out, static_cast<std::uint16_t>(sample), 2);
    }
}

// One middle C held for a quarter note (half a second at the default tempo).
void writeMidi(const std::string& path) {
    const unsigned char bytes[] = {
        'M',  'T',  'h',  'd',  0, 0, 0, 6,  0, 0, 0, 1, 0, 96, // format 0, one track, 96 ticks a quarter
        'M',  'T',  'r',  'k',  0, 0, 0, 12,                    //
        0x00, 0x90, 60,   100,                                  // note on
        0x60, 0x80, 60,   64,                                   // 96 ticks later, note off
        0x00, 0xFF, 0x2F, 0x00,                                 // end of track
    };
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

bool onDiskDriver() {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return driver != nullptr && std::strcmp(driver, "disk") == 0;
}

// What the disk driver wrote since the device was last opened: 16-bit stereo samples.
std::vector<std::int16_t> diskSamples() {
    const char* file = std::getenv("SDL_DISKAUDIOFILE");
    if (file == nullptr) {
        return {};
    }
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::int16_t> samples(bytes.size() / sizeof(std::int16_t));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(std::int16_t));
    return samples;
}

long loudSamples(const std::vector<std::int16_t>& samples, int threshold) {
    long count = 0;
    for (std::int16_t s : samples) {
        count += std::abs(static_cast<int>(s)) > threshold ? 1 : 0;
    }
    return count;
}

// Any part of SDL still initialised: an idle control should hold none.
bool sdlInUse() { return SDL_WasInit(0) != 0; }

struct Done {
    QThread* thread;
    qint64 atMs;
};

class SdlMediaControlTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    QElapsedTimer clock_;
    std::vector<Done> dones_;
    int delivered_ = 0;
    std::optional<SdlMediaControl> media_;

    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        clock_.start();
        // As the program's dispatcher does: the event is raised by the deliver callback.
        media_.emplace([this](const Event<>& event) {
            ++delivered_;
            event.raise();
        });
        media_->finished.setHandler([this] { dones_.push_back({QThread::currentThread(), clock_.elapsed()}); });
    }

    std::string path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)).toStdString(); }

    std::string wav(const char* name, double seconds, std::uint32_t rate = 44100) const {
        std::string p = path(name);
        writeWav(p, seconds, rate);
        return p;
    }

    // The sound action of an alarm; returns when play has.
    qint64 openAndPlay(const std::string& file) {
        EXPECT_EQ(media_->open(file), MediaError::None) << media_->failureReason();
        const qint64 started = clock_.elapsed();
        EXPECT_EQ(media_->play(), MediaError::None) << media_->failureReason();
        return started;
    }

    bool waitForDone(std::size_t count = 1) {
        return QTest::qWaitFor([&] { return dones_.size() >= count; }, kDoneTimeoutMs);
    }
};

TEST_F(SdlMediaControlTest, ASoundPlaysOnceAndItsEndArrivesOnTheMainThread) {
    // The program's completion handler closes the control from inside finished.
    media_->finished.setHandler([this] {
        dones_.push_back({QThread::currentThread(), clock_.elapsed()});
        media_->close();
    });
    ASSERT_EQ(media_->open(wav("alarm.wav", 0.5)), MediaError::None) << media_->failureReason();
    const qint64 started = clock_.elapsed();
    ASSERT_EQ(media_->play(), MediaError::None) << media_->failureReason();
    EXPECT_LT(clock_.elapsed() - started, 300) << "play must return while the sound goes on";
    EXPECT_TRUE(dones_.empty());

    ASSERT_TRUE(waitForDone());
    EXPECT_EQ(dones_[0].thread, QCoreApplication::instance()->thread());
    EXPECT_EQ(delivered_, 1) << "finished must go through the deliver callback";
    EXPECT_GE(dones_[0].atMs - started, 500 - kEndSlackMs) << "finished came before the sound could have ended";
    // Closed at its end, the device stays only while that plays out.
    EXPECT_TRUE(QTest::qWaitFor([] { return !sdlInUse(); }, 1000)) << "closed, the control must hold no audio device";

    QTest::qWait(300);
    EXPECT_EQ(dones_.size(), 1u);

    if (onDiskDriver()) {
        // Half a second of 44.1 kHz stereo sine, all of it: the close waits for the drain.
        // (96 % of a sine at half scale lies above the threshold.)
        const long loud = loudSamples(diskSamples(), 1000);
        EXPECT_GT(loud, static_cast<long>(0.5 * 44100 * 2 * 0.95)) << "the sound's end was cut off";
    }
}

TEST_F(SdlMediaControlTest, ASoundAtAnotherRatePlaysToItsEndToo) {
    // Converting 48 kHz to the output's 44.1 kHz, SDL kept back the last 23 ms.
    media_->finished.setHandler([this] {
        dones_.push_back({QThread::currentThread(), clock_.elapsed()});
        media_->close();
    });
    ASSERT_EQ(media_->open(wav("48k.wav", 0.2, 48000)), MediaError::None) << media_->failureReason();
    ASSERT_EQ(media_->play(), MediaError::None) << media_->failureReason();
    ASSERT_TRUE(waitForDone());
    EXPECT_TRUE(QTest::qWaitFor([] { return !sdlInUse(); }, 1000));
    if (onDiskDriver()) {
        EXPECT_GT(loudSamples(diskSamples(), 1000), static_cast<long>(0.2 * 44100 * 2 * 0.95)) << "the end was cut off";
    }
}

TEST_F(SdlMediaControlTest, TheProgramsControlPlaysThroughTheModuleItLoadsOnFirstUse) {
    media_.reset(); // the mixer plays one sound per process
    kadrill::platform::qt::FirstUseMediaControl first(
        [this](const Event<>& event) {
            ++delivered_;
            event.raise();
        },
        qEnvironmentVariable("KADRILL_SOUND_MODULE"));
    first.finished.setHandler([this] { dones_.push_back({QThread::currentThread(), clock_.elapsed()}); });
    ASSERT_EQ(first.open(wav("module.wav", 0.3)), MediaError::None);
    ASSERT_EQ(first.play(), MediaError::None);
    ASSERT_TRUE(waitForDone());
    EXPECT_EQ(delivered_, 1) << "finished must go through the program's deliver callback";
    first.close();
}

TEST_F(SdlMediaControlTest, AMidiNotePlaysThroughFluidSynthAndEnds) {
    const std::string midi = path("note.mid");
    writeMidi(midi);
    const qint64 started = openAndPlay(midi);
    ASSERT_TRUE(waitForDone());
    EXPECT_GE(dones_[0].atMs - started, 500 - kEndSlackMs);
    // FluidSynth alone goes on for seconds of near-silent reverb after the last note.
    EXPECT_LT(dones_[0].atMs - started, 500 + 1500) << "the end came long after the note's";
    media_->close();
    if (onDiskDriver()) {
        EXPECT_GT(loudSamples(diskSamples(), 300), 4410) << "the synthesiser played nothing audible";
    }
}

TEST_F(SdlMediaControlTest, CloseWithNothingOpenOrTwiceIsHarmless) {
    media_->close();
    ASSERT_EQ(media_->open(wav("alarm.wav", 0.3)), MediaError::None) << media_->failureReason();
    EXPECT_TRUE(sdlInUse());
    media_->close();
    EXPECT_FALSE(sdlInUse());
    media_->close();
    EXPECT_EQ(media_->play(), MediaError::NotOpen);
}

TEST_F(SdlMediaControlTest, CloseDuringPlaybackRaisesNoDone) {
    openAndPlay(wav("long.wav", 1.0));
    QTest::qWait(150);
    media_->close(); // the halted sound must not report
    EXPECT_FALSE(sdlInUse());
    QTest::qWait(1200);
    EXPECT_TRUE(dones_.empty());
}

TEST_F(SdlMediaControlTest, OpeningAnotherSoundDropsTheEndOfTheFirst) {
    openAndPlay(wav("first.wav", 1.0));
    QTest::qWait(150);
    const qint64 second = openAndPlay(wav("second.wav", 0.5)); // no Close in between
    ASSERT_TRUE(waitForDone());
    EXPECT_GE(dones_[0].atMs - second, 500 - kEndSlackMs) << "the first sound's halt was reported";
    QTest::qWait(1200); // past the first sound's end
    EXPECT_EQ(dones_.size(), 1u);
}

TEST_F(SdlMediaControlTest, PlayingAgainRestartsAndReportsOnlyTheLastEnd) {
    const std::string file = wav("alarm.wav", 0.5);
    openAndPlay(file);
    QTest::qWait(200);
    const qint64 again = clock_.elapsed();
    ASSERT_EQ(media_->play(), MediaError::None) << media_->failureReason();
    ASSERT_TRUE(waitForDone());
    EXPECT_GE(dones_[0].atMs - again, 500 - kEndSlackMs);
    QTest::qWait(300);
    EXPECT_EQ(dones_.size(), 1u);
}

TEST_F(SdlMediaControlTest, ASoundRepeatedStraightAfterItsEndFollowsWithoutAGap) {
    // As the alarm repeats a short sound within its second: close on the end, and open
    // and play the same file again at the next tick.
    const std::string file = wav("short.wav", 0.3);
    media_->finished.setHandler([this, file] {
        dones_.push_back({QThread::currentThread(), clock_.elapsed()});
        media_->close();
        if (dones_.size() < 2) {
            QTimer::singleShot(1, [this, file] { openAndPlay(file); });
        }
    });
    openAndPlay(file);
    ASSERT_TRUE(waitForDone(2));
    EXPECT_TRUE(QTest::qWaitFor([] { return !sdlInUse(); }, kDoneTimeoutMs)) << "the device stayed open";
    if (onDiskDriver()) {
        const std::vector<std::int16_t> samples = diskSamples();
        EXPECT_GT(loudSamples(samples, 1000), static_cast<long>(2 * 0.3 * 44100 * 2 * 0.95)) << "a play was lost";
        // The longest quiet stretch between the first sound and the last, in frames: a
        // sine's zero crossings are a few samples. Reopening the device took half a
        // second; starting the repeat with the next buffer left the rest of the end's.
        std::size_t first = samples.size(), last = 0, quiet = 0, longest = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (std::abs(static_cast<int>(samples[i])) > 1000) {
                first = std::min(first, i);
                last = i;
            }
        }
        for (std::size_t i = first; i < last; ++i) {
            quiet = std::abs(static_cast<int>(samples[i])) <= 1000 ? quiet + 1 : 0;
            longest = std::max(longest, quiet / 2);
        }
        EXPECT_LE(longest, 4u) << "a gap of " << longest * 10 / 441 << " ms between the repeats";
    }
}

TEST_F(SdlMediaControlTest, ARepeatStoppedBeforeItIsHeardIsNotHeard) {
    // The alarm button pressed as a repeat begins: its first buffer is made, not yet heard.
    const std::string file = wav("short.wav", 0.3);
    media_->finished.setHandler([this, file] {
        dones_.push_back({QThread::currentThread(), clock_.elapsed()});
        media_->close();
        openAndPlay(file);
        media_->close();
    });
    openAndPlay(file);
    ASSERT_TRUE(waitForDone());
    EXPECT_TRUE(QTest::qWaitFor([] { return !sdlInUse(); }, 1000)) << "the repeat went on after its close";
    if (onDiskDriver()) {
        EXPECT_LT(loudSamples(diskSamples(), 1000), static_cast<long>(1.2 * 0.3 * 44100 * 2)) << "the repeat was heard";
    }
}

TEST_F(SdlMediaControlTest, AnEndReportStillQueuedWhenTheControlGoesIsDropped) {
    // Shorter than a buffer, it plays once, not in rounds: the mixer itself tells its end.
    openAndPlay(wav("short.wav", 0.05));
    // Let the mixer post its report without letting the event loop deliver it.
    for (int i = 0; i < kDoneTimeoutMs / 10 && Mix_PlayingMusic(); ++i) {
        QThread::msleep(10);
    }
    ASSERT_FALSE(Mix_PlayingMusic());
    media_.reset();
    EXPECT_FALSE(sdlInUse());
    QTest::qWait(100);
    EXPECT_TRUE(dones_.empty());
}

TEST_F(SdlMediaControlTest, WhileASoundIsOpenSignalsStillEndTheProgram) {
    ASSERT_EQ(media_->open(wav("alarm.wav", 0.3)), MediaError::None) << media_->failureReason();
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction action {};
        ASSERT_EQ(sigaction(signal, nullptr, &action), 0);
        EXPECT_EQ(action.sa_handler, SIG_DFL) << "SDL took over signal " << signal;
    }
    media_->close();
}

// Failures of open: each leaves nothing open, so that the next alarm plays.
struct OpenFailure {
    const char* name;
    std::string (*prepare)(const std::string& dir); // returns the file to open
    MediaError error;
    const char* audioDriver; // for this open only; null keeps the test's driver
};

void PrintTo(const OpenFailure& f, std::ostream* os) { *os << f.name; }

class OpenFailures : public SdlMediaControlTest, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(OpenFailures, ReportAnErrorAndLeaveTheNextAlarmPlayable) {
    const OpenFailure& row = GetParam();
    const std::string file = row.prepare(dir_.path().toStdString());
    const QByteArray driver = qgetenv("SDL_AUDIODRIVER");
    if (row.audioDriver != nullptr) {
        qputenv("SDL_AUDIODRIVER", row.audioDriver);
    }
    const MediaError opened = media_->open(file);
    qputenv("SDL_AUDIODRIVER", driver);
    EXPECT_EQ(opened, row.error) << media_->failureReason();
    EXPECT_FALSE(media_->failureReason().empty());
    EXPECT_EQ(media_->play(), MediaError::NotOpen);
    EXPECT_FALSE(sdlInUse());

    openAndPlay(wav("good.wav", 0.2));
    EXPECT_TRUE(waitForDone());
}

std::string absentFile(const std::string& dir) { return dir + "/absent.wav"; }

std::string textNamedLikeASound(const std::string& dir) {
    std::ofstream(dir + "/notes.wav") << "Buy noodles.\nCall home at seven.\n";
    return dir + "/notes.wav";
}

std::string goodSound(const std::string& dir) {
    writeWav(dir + "/fine.wav", 0.2);
    return dir + "/fine.wav";
}

INSTANTIATE_TEST_SUITE_P(
    Alarm, OpenFailures,
    ::testing::Values(OpenFailure{"MissingFile", absentFile, MediaError::FileNotFound, nullptr},
                      OpenFailure{"NotASound", textNamedLikeASound, MediaError::UnsupportedFormat, nullptr},
                      OpenFailure{"NoAudioDevice", goodSound, MediaError::NoDevice, "kadrill-no-such-driver"}),
    [](const ::testing::TestParamInfo<OpenFailure>& row) { return std::string(row.param.name); });

} // namespace

int main(int argc, char** argv) {
    // Never the real sound device: only drivers that write to a file or nowhere.
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    if (driver == nullptr || (std::strcmp(driver, "disk") != 0 && std::strcmp(driver, "dummy") != 0)) {
        std::cerr << "set SDL_AUDIODRIVER to disk or dummy; these tests never play on a real device\n";
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
