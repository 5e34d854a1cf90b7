// Sound cues: the WAV blocks, their stream form, header reading, and playing without an
// audio device.

#include <QAudioDevice>
#include <QMediaDevices>
#include <QTest>
#include <string>

#include "docdata/Exception.h"
#include "docdata/StreamValues.h"
#include "ui/CueSounds.h"
#include "ui/SoundPlayer.h"
#include "ui/Wave.h"
#include "ui/WaveData.h"

using namespace dz;

namespace {

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

std::string Le32(uint32_t v) {
  return B({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)});
}

// RIFF size, "WAVE", a 16-byte fmt chunk for PCM 2 x 16 bit at 44100 Hz, data size.
std::string ExpectedHeader(uint32_t fileBytes) {
  return "RIFF" + Le32(fileBytes - 8) + "WAVEfmt " + B({16, 0, 0, 0, 1, 0, 2, 0}) +
         B({0x44, 0xAC, 0, 0}) + B({0x10, 0xB1, 2, 0}) + B({4, 0, 16, 0}) + "data" +
         Le32(fileBytes - 44);
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "<none>";
}

std::string Fmt(int tag, int channels, int bits) {
  return "fmt " + Le32(16) + B({tag, 0, channels, 0}) + Le32(8000) +
         Le32(8000 * channels * bits / 8) + B({channels * bits / 8, 0, bits, 0});
}

}  // namespace

class SoundTest : public QObject {
  Q_OBJECT

 private slots:
  void CueBlocksHaveTheirFormatAndSize_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("size");
    QTest::newRow("WaveDown") << 0 << 38380;
    QTest::newRow("WaveBusy") << 1 << 179500;
  }
  void CueBlocksHaveTheirFormatAndSize() {
    QFETCH(int, which);
    QFETCH(int, size);
    const std::string& wav = which == 0 ? WaveDownSound() : WaveBusySound();
    QCOMPARE(int(wav.size()), size);
    QCOMPARE(QByteArray::fromStdString(wav.substr(0, 44)),
             QByteArray::fromStdString(ExpectedHeader(size)));
    QVERIFY(wav.find_first_not_of('\0', 44) != std::string::npos);  // not silence
    const auto f = ParseWav(wav);
    QVERIFY(f.has_value());
    QCOMPARE(int(f->DataOffset), 44);
    QCOMPARE(int(f->DataSize), size - 44);
  }

  void StreamForm() {
    TWaveData data;
    TValueWriter empty;
    data.WriteProperty(empty);
    QVERIFY(empty.Bytes().empty());  // an empty block writes no property
    TValueWriter emptyData;
    data.WriteData(emptyData);
    QCOMPARE(QByteArray::fromStdString(emptyData.Bytes()), QByteArray(4, '\0'));

    data.SetData(3, "abc");
    TValueWriter w;
    data.WriteProperty(w);
    QCOMPARE(QByteArray::fromStdString(w.Bytes()),
             QByteArray::fromStdString(B({4}) + "Data" + B({10, 7, 0, 0, 0, 3, 0, 0, 0}) + "abc"));

    TWaveData back;
    back.SetData(5, "vorab");
    TValueReader r(std::string_view(w.Bytes()).substr(5));
    back.ReadPropertyValue(r);
    QCOMPARE(QByteArray(back.Bytes().data(), back.Size()), QByteArray("abc"));
    QVERIFY(r.AtEnd());

    TWaveData big;
    big.SetData(static_cast<int32_t>(WaveBusySound().size()), WaveBusySound().data());
    TValueWriter bw;
    big.WriteData(bw);
    TValueReader br(bw.Bytes());
    TWaveData bigBack;
    bigBack.ReadData(br);
    QVERIFY(bigBack.Bytes() == WaveBusySound());
  }

  void StreamFormFailures_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("message");
    const QByteArray readError("Stream-Read-Fehler");
    QTest::newRow("block cut short")
        << QByteArray::fromStdString(B({10, 9, 0, 0, 0, 5, 0, 0, 0}) + "abcd") << readError;
    QTest::newRow("binary value cut short")
        << QByteArray::fromStdString(B({10, 9, 0})) << readError;
    QTest::newRow("negative length")
        << QByteArray::fromStdString(B({10, 4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF})) << readError;
    QTest::newRow("inner length beyond the value")
        << QByteArray::fromStdString(B({10, 5, 0, 0, 0, 9, 0, 0, 0}) + "a" + B({4}) + "Next")
        << readError;
    QTest::newRow("not binary") << QByteArray::fromStdString(B({6, 3}) + "abc")
                                << QByteArray("Ung\xFCltiger Wert der Eigenschaft");
  }
  void StreamFormFailures() {
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, message);
    TWaveData data;
    TValueReader r(std::string_view(value.constData(), value.size()));
    QCOMPARE(QByteArray::fromStdString(ErrorOf([&] { data.ReadPropertyValue(r); })), message);
  }

  void SettingAndAssigning() {
    TWaveData a;
    a.SetData(0, "x");
    QVERIFY(a.Empty());
    a.SetData(-4, "x");
    QVERIFY(a.Empty());
    QCOMPARE(a.Size(), 0);
    a.SetData(2, "xy");
    TWaveData b;
    b.Assign(&a);
    a.SetData(1, "z");
    QCOMPARE(QByteArray(b.Bytes().data(), b.Size()), QByteArray("xy"));
    b.Assign(nullptr);
    QVERIFY(b.Empty());
  }

  void HeaderReading_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("playable");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("size");
    const std::string samples = B({1, 2, 3, 4});
    auto riff = [](const std::string& body) {
      return "RIFF" + Le32(4 + body.size()) + "WAVE" + body;
    };
    QTest::newRow("plain PCM") << QByteArray::fromStdString(
                                      riff(Fmt(1, 2, 16) + "data" + Le32(4) + samples))
                               << true << 44 << 4;
    QTest::newRow("odd chunk before data is padded")
        << QByteArray::fromStdString(
               riff(Fmt(1, 1, 8) + "LIST" + Le32(3) + B({7, 7, 7, 0}) + "data" + Le32(4) + samples))
        << true << 56 << 4;
    QTest::newRow("data longer than the file is cut")
        << QByteArray::fromStdString(riff(Fmt(1, 2, 16) + "data" + Le32(1000) + samples)) << true
        << 44 << 4;
    QTest::newRow("float samples")
        << QByteArray::fromStdString(riff(Fmt(3, 2, 32) + "data" + Le32(4) + samples)) << true << 44
        << 4;
    QTest::newRow("compressed format")
        << QByteArray::fromStdString(riff(Fmt(2, 2, 4) + "data" + Le32(4) + samples)) << false << 0
        << 0;
    QTest::newRow("24-bit PCM") << QByteArray::fromStdString(
                                       riff(Fmt(1, 2, 24) + "data" + Le32(4) + samples))
                                << false << 0 << 0;
    QTest::newRow("data before fmt")
        << QByteArray::fromStdString(riff("data" + Le32(4) + samples + Fmt(1, 2, 16))) << false << 0
        << 0;
    QTest::newRow("fmt cut short")
        << QByteArray::fromStdString(riff(Fmt(1, 2, 16).substr(0, 20))) << false << 0 << 0;
    QTest::newRow("not RIFF") << QByteArray("RIFX\0\0\0\0WAVE", 12) << false << 0 << 0;
    QTest::newRow("empty") << QByteArray() << false << 0 << 0;
  }
  void HeaderReading() {
    QFETCH(QByteArray, file);
    QFETCH(bool, playable);
    QFETCH(int, offset);
    QFETCH(int, size);
    const auto f = ParseWav(std::string_view(file.constData(), file.size()));
    QCOMPARE(f.has_value(), playable);
    if (f) {
      QCOMPARE(int(f->DataOffset), offset);
      QCOMPARE(int(f->DataSize), size);
    }
  }

  // CI machines have no audio output: playing must stay silent, quick and free of failures.
  void PlayingCallsOnPlayAndNeverFails() {
    TWave wave;
    int calls = 0;
    wave.OnPlay = [&](TWave& w) {
      QCOMPARE(&w, &wave);
      ++calls;
    };
    wave.Play();  // empty block: OnPlay, then nothing
    QCOMPARE(calls, 1);
    QVERIFY(!TSoundPlayer::Instance()->IsPlaying());

    wave.WaveData.SetData(static_cast<int32_t>(WaveDownSound().size()), WaveDownSound().data());
    wave.Play();
    wave.Play();
    QCOMPARE(calls, 3);
    const bool device = !QMediaDevices::defaultAudioOutput().isNull();
    QCOMPARE(TSoundPlayer::Instance()->IsPlaying(), device);

    wave.WaveData.SetData(4, "junk");
    wave.Play();  // unplayable: silent, and the former sound is cut off
    QCOMPARE(calls, 4);
    QVERIFY(!TSoundPlayer::Instance()->IsPlaying());
  }
};

QTEST_MAIN(SoundTest)
#include "SoundTest.moc"
