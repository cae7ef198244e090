// The ALSA client's one input reader: events from two sources reach the
// callbacks of their own input ports, none is dropped for arriving at the
// other port. Needs the kernel's sequencer; skipped on machines without one.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "midi/alsa/alsa_sequencer.h"

namespace melko {
namespace {

TEST(AlsaInput, OneReaderDispatchesEveryEventToTheCallbackOfItsPort) {
  auto seq = AlsaSequencer::Open();
  if (!seq) GTEST_SKIP() << "no ALSA sequencer on this machine";
  snd_seq_t* source = nullptr;
  ASSERT_GE(snd_seq_open(&source, "default", SND_SEQ_OPEN_OUTPUT, 0), 0);
  snd_seq_set_client_name(source, "MELKO test source");
  int ports[2];
  for (int& p : ports)
    p = snd_seq_create_simple_port(source, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                   SND_SEQ_PORT_TYPE_MIDI_GENERIC);
  const int client = snd_seq_client_id(source);

  std::atomic<int> got[2][2] = {};  // [input][note from source 0 / 1]
  std::unique_ptr<MidiInDevice> inputs[2];
  for (int i = 0; i < 2; ++i) {
    AlsaPortAddress a{client, ports[i], "src"};
    ASSERT_EQ(seq->OpenIn(a,
                          [&, i](uint32_t msg, uint32_t) {
                            int key = (msg >> 8) & 0x7F;
                            if (key == 60 || key == 61) ++got[i][key - 60];
                          },
                          inputs[i]),
              kMidiOk);
  }
  for (int round = 0; round < 20; ++round)
    for (int i = 0; i < 2; ++i) {
      snd_seq_event_t ev;
      snd_seq_ev_clear(&ev);
      snd_seq_ev_set_source(&ev, ports[i]);
      snd_seq_ev_set_subs(&ev);
      snd_seq_ev_set_direct(&ev);
      snd_seq_ev_set_noteon(&ev, 0, 60 + i, 100);
      snd_seq_event_output_direct(source, &ev);
    }
  for (int wait = 0; wait < 100 && (got[0][0] < 20 || got[1][1] < 20); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(got[0][0].load(), 20);
  EXPECT_EQ(got[1][1].load(), 20);
  EXPECT_EQ(got[0][1].load(), 0);
  EXPECT_EQ(got[1][0].load(), 0);
  inputs[0].reset();
  inputs[1].reset();
  snd_seq_close(source);
}

// "MELKO:in" is a port of our client that other programs connect to.
TEST(AlsaInput, OthersConnectToThePublicPortAndReachItsCallback) {
  auto seq = AlsaSequencer::Open();
  if (!seq) GTEST_SKIP() << "no ALSA sequencer on this machine";
  std::atomic<int> notes{0};
  std::unique_ptr<MidiInDevice> in;
  ASSERT_EQ(seq->OpenPublicIn([&](uint32_t msg, uint32_t) { notes += (msg & 0xF0) == 0x90; }, in), kMidiOk);
  // Find it by its name, as aconnect would.
  snd_seq_t* source = nullptr;
  ASSERT_GE(snd_seq_open(&source, "default", SND_SEQ_OPEN_DUPLEX, 0), 0);
  snd_seq_port_info_t* info;
  snd_seq_port_info_alloca(&info);
  snd_seq_port_info_set_client(info, seq->ClientId());
  snd_seq_port_info_set_port(info, -1);
  int publicPort = -1;
  while (snd_seq_query_next_port(source, info) >= 0)
    if (std::string(snd_seq_port_info_get_name(info)) == "in") publicPort = snd_seq_port_info_get_port(info);
  ASSERT_GE(publicPort, 0);
  const int out = snd_seq_create_simple_port(source, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                             SND_SEQ_PORT_TYPE_MIDI_GENERIC);
  ASSERT_GE(snd_seq_connect_to(source, out, seq->ClientId(), publicPort), 0);
  for (int i = 0; i < 5; ++i) {
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, out);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    snd_seq_ev_set_noteon(&ev, 0, 60, 100);
    snd_seq_event_output_direct(source, &ev);
  }
  for (int wait = 0; wait < 100 && notes < 5; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(notes.load(), 5);
  in.reset();
  snd_seq_close(source);
}

}  // namespace
}  // namespace melko
