// The alarm's sound on a real sound server, as a desktop of today has one: PipeWire with
// WirePlumber and pipewire-pulse, on the test's own runtime folder and session bus, playing
// into a null sink whose monitor the test records. Never the machine's own sound.
#include "kadrill_fixture.h"

#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <numbers>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace e2e;

namespace {

constexpr const char* kSink = "kadrill-test-sink";
constexpr int kRate = 44100;
constexpr double kToneSeconds = 1.5;   // longer than its second: played once
constexpr double kToneAmplitude = 0.5; // an RMS of 0.3536

void putLittleEndian(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

constexpr double kClosingSeconds = 0.1; // the end, at half the level: what a cut would lose

// 880 Hz, 16-bit mono, its last 100 ms at half the level.
void writeTone(const std::filesystem::path& path) {
    const auto frames = static_cast<std::uint32_t>(kToneSeconds * kRate);
    std::ofstream out(path, std::ios::binary);
    out << "RIFF";
    putLittleEndian(out, 36 + frames * 2, 4);
    out << "WAVEfmt ";
    for (auto [value, size] :
         {std::pair{16u, 4}, {1u, 2}, {1u, 2}, {unsigned(kRate), 4}, {kRate * 2u, 4}, {2u, 2}, {16u, 2}})
        putLittleEndian(out, value, size);
    out << "data";
    putLittleEndian(out, frames * 2, 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const bool closing = i >= frames - static_cast<std::uint32_t>(kClosingSeconds * kRate);
        const double s =
            (closing ? kToneAmplitude / 2 : kToneAmplitude) * 32767 * std::sin(2 * std::numbers::pi * 880 * i / kRate);
        putLittleEndian(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(s))), 2);
    }
}

// The left channel of a 16-bit stereo WAV file, as fractions of full scale.
std::vector<double> leftChannel(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto data = bytes.find("data");
    std::vector<double> out;
    if (data == std::string::npos)
        return out;
    for (std::size_t i = data + 8; i + 3 < bytes.size(); i += 4) {
        std::int16_t s = 0;
        std::memcpy(&s, bytes.data() + i, 2);
        out.push_back(s / 32768.0);
    }
    return out;
}

double rms(const std::vector<double>& samples, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += samples[i] * samples[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0;
}

std::string output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

class RealSoundServer : public KadrillTest {
protected:
    void SetUp() override {
        KadrillTest::SetUp();
        if (HasFatalFailure())
            return;
        session_.emplace(configured("KADRILL_E2E_SESSION_BUS_CONFIG"));
        // The sink, made by PipeWire itself as it starts: nothing is left to a race.
        const auto conf = home_.path() / "config/pipewire/pipewire.conf.d";
        std::filesystem::create_directories(conf);
        std::ofstream(conf / "kadrill-test-sink.conf")
            << "context.objects = [ { factory = adapter args = { factory.name = support.null-audio-sink node.name = "
            << kSink << " media.class = Audio/Sink object.linger = true audio.position = [ FL FR ] } } ]\n";
        for (const char* server : {"pipewire", "wireplumber", "pipewire-pulse"}) {
            servers_.emplace_back(std::vector<std::string>{server},
                                  Process::Options{.env = serverEnvironment(), .quiet = true});
            if (std::string(server) == "pipewire")
                std::this_thread::sleep_for(300ms); // its socket, before the others look for it
        }
        const auto ready = pollFor<bool>(kStartTimeout, [&]() -> std::optional<bool> {
            return std::filesystem::exists(home_.path() / "pulse/native") && dump().find(kSink) != std::string::npos
                       ? std::optional<bool>(true)
                       : std::nullopt;
        });
        ASSERT_TRUE(ready) << "the sound server did not come up with its sink; its objects:\n"
                           << dump().substr(0, 2000) << "\n(" << inServerEnvironment("pw-dump") << ")";
    }

    EnvChanges serverEnvironment() const {
        EnvChanges env = privateDesktop(x_, home_.path());
        env.insert(env.end(), {{"DBUS_SESSION_BUS_ADDRESS", session_->address()},
                               {"DBUS_SYSTEM_BUS_ADDRESS", noBus("system")},
                               {"PIPEWIRE_RUNTIME_DIR", std::nullopt},
                               {"PULSE_SERVER", std::nullopt},
                               {"PULSE_RUNTIME_PATH", std::nullopt}});
        return env;
    }

    std::string inServerEnvironment(const std::string& command) const {
        // env takes its options (the removals) before the assignments.
        std::string removals, assignments;
        for (const auto& [name, value] : serverEnvironment())
            (value ? assignments : removals) += value ? " '" + name + "=" + *value + "'" : " -u " + name;
        return "env" + removals + assignments + " " + command;
    }

    std::string dump() const { return output(inServerEnvironment("pw-dump 2>/dev/null")); }

    // Objects of the dump that hold every one of the texts.
    static int objectsWith(const std::string& dump, std::initializer_list<std::string> texts) {
        int count = 0;
        for (std::size_t at = dump.find("\n  {"); at != std::string::npos;) {
            const std::size_t next = dump.find("\n  {", at + 1);
            const std::string object = dump.substr(at, next == std::string::npos ? std::string::npos : next - at);
            bool all = true;
            for (const std::string& t : texts)
                all = all && object.find(t) != std::string::npos;
            count += all;
            at = next;
        }
        return count;
    }

    std::optional<PrivateSessionBus> session_;
    std::vector<Process> servers_;
};

TEST_F(RealSoundServer, TheAlarmIsHeardWholeAtFullLevelAndLeavesNoStream) {
    ASSERT_FALSE(configured("KADRILL_E2E_FAKETIME_LIB").empty()) << "libfaketime was not found at configure time";
    const auto tone = home_.path() / "tone.wav";
    writeTone(tone);
    const auto alarm = home_.path() / "tone.alm";
    std::ofstream(alarm, std::ios::binary)
        << "#07:00:00#\r\n#TRUE#\r\n0\r\n\"" << tone.string() << "\"\r\n\"\"\r\n\"EOF\"\r\n";
    const auto recording = home_.path() / "monitor.wav";
    Process recorder({"sh", "-c",
                      inServerEnvironment("pw-record --target " + std::string(kSink) +
                                          " -P '{ stream.capture.sink=true }' --rate 44100 --channels 2 --format s16 " +
                                          recording.string())},
                     Process::Options{.env = {}, .quiet = true});

    // The program's own desktop has the same runtime folder, where the server's socket is.
    EnvChanges env = fakeClock("2024-05-01 06:59:57");
    env.insert(env.end(), {{"DBUS_SESSION_BUS_ADDRESS", session_->address()},
                           {"SDL_AUDIODRIVER", std::nullopt},
                           {"PULSE_SERVER", std::nullopt},
                           {"PULSE_RUNTIME_PATH", std::nullopt}});
    startKadrill(env, {alarm.string()});

    // The stream as the server sees it, from its coming to its going.
    std::optional<WallClock::time_point> came, went;
    std::string streamSeen;
    int kadrillClients = 0;
    const auto gone = pollFor<bool>(15s, [&]() -> std::optional<bool> {
        const std::string d = dump();
        const bool there = objectsWith(d, {"\"Stream/Output/Audio\"", "\"Kadrill\""}) > 0;
        kadrillClients = std::max(kadrillClients, objectsWith(d, {"PipeWire:Interface:Client", "\"Kadrill\""}));
        if (there && !came) {
            came = WallClock::now();
            streamSeen = d;
        }
        if (!there && came && !went)
            went = WallClock::now();
        return went ? std::optional<bool>(true) : std::nullopt;
    });
    ASSERT_TRUE(came) << "no Kadrill stream reached the server";
    ASSERT_TRUE(gone) << "the stream was still there 15 s on";
    std::this_thread::sleep_for(300ms);
    ::kill(-recorder.pid(), SIGINT);
    recorder.waitForExit(5s);

    const std::string last = dump();
    EXPECT_EQ(objectsWith(last, {"\"Stream/Output/Audio\""}), 0) << "a stream remains";
    EXPECT_EQ(objectsWith(last, {"PipeWire:Interface:Client", "\"Kadrill\""}), 0) << "a client remains";
    EXPECT_NE(streamSeen.find("\"media.name\": \"ｱﾗｰﾑ\""), std::string::npos)
        << "the stream is not named for the alarm";
    // PipeWire's spelling of PulseAudio's application.icon_name.
    EXPECT_NE(streamSeen.find("\"application.icon-name\": \"" + configured("KADRILL_E2E_APP_ID") + "\""),
              std::string::npos)
        << "the stream carries no icon";
    EXPECT_NE(streamSeen.find("\"media.role\": \"Notification\""), std::string::npos) << "the stream has no event role";

    const std::vector<double> heard = leftChannel(recording);
    std::size_t first = heard.size(), lastLoud = 0;
    for (std::size_t i = 0; i < heard.size(); ++i)
        if (std::abs(heard[i]) > 0.05) {
            first = std::min(first, i);
            lastLoud = i;
        }
    ASSERT_LT(first, heard.size()) << "nothing was heard on the sink";
    // The level of 10 ms pieces, whose median a lost piece of a loaded server's moves not.
    const auto medianLevel = [&](std::size_t from, std::size_t to) {
        std::vector<double> pieces;
        for (std::size_t at = from; at + kRate / 100 <= to; at += kRate / 100)
            pieces.push_back(rms(heard, at, at + kRate / 100));
        if (pieces.empty())
            return 0.0;
        std::nth_element(pieces.begin(), pieces.begin() + pieces.size() / 2, pieces.end());
        return pieces[pieces.size() / 2];
    };
    // The closing part begins after the last full-level peak.
    std::size_t closingStart = first;
    for (std::size_t i = first; i <= lastLoud; ++i)
        if (std::abs(heard[i]) > kToneAmplitude * 0.75)
            closingStart = i;
    const double span = double(lastLoud - first) / kRate;
    const double closing = double(lastLoud - closingStart) / kRate;
    const double level = medianLevel(first, closingStart);
    const double tail = medianLevel(closingStart, lastLoud);
    const double streamSeconds = std::chrono::duration<double>(*went - *came).count();
    std::cout << "sound heard for " << span << " s of " << kToneSeconds << " s, its closing part for " << closing
              << " s of " << kClosingSeconds << "; RMS " << level << " (source " << kToneAmplitude / std::numbers::sqrt2
              << "), closing RMS " << tail << "; stream there " << streamSeconds << " s, " << streamSeconds - span
              << " s longer than the sound; most Kadrill clients at once: " << kadrillClients << "\n";
    EXPECT_GT(closing, kClosingSeconds - 0.005) << "the end of the sound was cut off";
    EXPECT_NEAR(level, kToneAmplitude / std::numbers::sqrt2, 0.02);
    EXPECT_NEAR(tail, kToneAmplitude / 2 / std::numbers::sqrt2, 0.02) << "the last 100 ms were not heard whole";
}

} // namespace
