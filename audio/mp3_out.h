// TMP3Out: the recorder's sink. Encodes the PCM pulled from its Input to MPEG
// layer III with libmp3lame (linked directly) and writes the frames to FileName.
#pragma once

#include "audio/au_pipeline.h"

#include <QDate>
#include <QString>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

struct lame_global_struct;

class TMP3Out : public TAuFileOut {
  Q_OBJECT
  Q_PROPERTY(TMP3BitRate BitRate READ BitRate WRITE SetBitRate)
  Q_PROPERTY(QString Id3TagTitle READ Id3TagTitle WRITE SetId3TagTitle)
  Q_PROPERTY(QString Id3TagArtist READ Id3TagArtist WRITE SetId3TagArtist)
  Q_PROPERTY(QString Id3TagAlbum READ Id3TagAlbum WRITE SetId3TagAlbum)
  Q_PROPERTY(QString Id3TagYear READ Id3TagYear WRITE SetId3TagYear)
  Q_PROPERTY(QDate Id3TagDate READ Id3TagDate WRITE SetId3TagDate STORED false)
  Q_PROPERTY(QString Id3TagTrack READ Id3TagTrack WRITE SetId3TagTrack)
  Q_PROPERTY(QString Id3TagComment READ Id3TagComment WRITE SetId3TagComment)
  Q_PROPERTY(QString Id3TagGenre READ Id3TagGenre WRITE SetId3TagGenre)
  Q_PROPERTY(TMP3Quality Quality READ Quality WRITE SetQuality)
  Q_PROPERTY(TMP3SampleRate SampleRate READ SampleRate WRITE SetSampleRate)
  Q_PROPERTY(TMP3Mode Mode READ Mode WRITE SetMode)
  Q_PROPERTY(bool CRC READ CRC WRITE SetCRC)
  Q_PROPERTY(bool Copyright READ Copyright WRITE SetCopyright)
  Q_PROPERTY(bool Original READ Original WRITE SetOriginal)
  Q_PROPERTY(bool WriteVBRHeader READ WriteVBRHeader WRITE SetWriteVBRHeader)
  Q_PROPERTY(bool EnableVBR READ EnableVBR WRITE SetEnableVBR)
  Q_PROPERTY(TMP3Quality VBRQuality READ VBRQuality WRITE SetVBRQuality)
  Q_PROPERTY(int VBRMinBitrate READ VBRMinBitrate WRITE SetVBRMinBitrate)
  Q_PROPERTY(int VBRMaxBitrate READ VBRMaxBitrate WRITE SetVBRMaxBitrate)

public:
  enum TMP3BitRate {
    br8, br16, br24, br32, br40, br48, br56, br64, br80,
    br96, br112, br128, br144, br160, br192, br224, br256, br320
  };
  Q_ENUM(TMP3BitRate)
  enum TMP3Quality { ql0, ql1, ql2, ql3, ql4, ql5, ql6, ql7, ql8, ql9 };
  Q_ENUM(TMP3Quality)
  enum TMP3Mode { STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO };
  Q_ENUM(TMP3Mode)
  enum TMP3SampleRate { srDefault, sr32kHz, sr41kHz, sr48kHz };
  Q_ENUM(TMP3SampleRate)

  static constexpr int PcmBlockSize = 16384;
  static constexpr int Mp3BufferSize = 17440;  // 1.25 * 8192 + 7200
  static constexpr int MaxFramesPerCall = 8192;  // what Mp3BufferSize is sized for

  explicit TMP3Out(TComponent* AOwner);
  ~TMP3Out() override;

  static int Kbps(TMP3BitRate rate);
  // The rate of `kbps`, or nothing when the encoder has no such rate.
  static std::optional<TMP3BitRate> BitRateOf(int kbps);
  static int OutputRate(TMP3SampleRate rate);

  TMP3BitRate BitRate() const { return bitRate_; }
  void SetBitRate(TMP3BitRate v) { bitRate_ = v; }
  QString Id3TagTitle() const { return title_; }
  void SetId3TagTitle(const QString& v) { title_ = v; }
  QString Id3TagArtist() const { return artist_; }
  void SetId3TagArtist(const QString& v) { artist_ = v; }
  QString Id3TagAlbum() const { return album_; }
  void SetId3TagAlbum(const QString& v) { album_ = v; }
  QString Id3TagYear() const { return year_; }
  void SetId3TagYear(const QString& v) { year_ = v; }
  // The recording's day: its year where Id3TagYear is empty, and day and
  // month in ID3v2's TDAT.
  QDate Id3TagDate() const { return date_; }
  void SetId3TagDate(const QDate& v) { date_ = v; }
  QString Id3TagTrack() const { return track_; }
  void SetId3TagTrack(const QString& v) { track_ = v; }
  QString Id3TagComment() const { return comment_; }
  void SetId3TagComment(const QString& v) { comment_ = v; }
  QString Id3TagGenre() const { return genre_; }
  void SetId3TagGenre(const QString& v) { genre_ = v; }
  TMP3Quality Quality() const { return quality_; }
  void SetQuality(TMP3Quality v) { quality_ = v; }
  TMP3SampleRate SampleRate() const { return sampleRate_; }
  void SetSampleRate(TMP3SampleRate v) { sampleRate_ = v; }
  TMP3Mode Mode() const { return mode_; }
  void SetMode(TMP3Mode v) { mode_ = v; }
  bool CRC() const { return crc_; }
  void SetCRC(bool v) { crc_ = v; }
  bool Copyright() const { return copyright_; }
  void SetCopyright(bool v) { copyright_ = v; }
  bool Original() const { return original_; }
  void SetOriginal(bool v) { original_ = v; }
  bool WriteVBRHeader() const { return writeVbrHeader_; }
  void SetWriteVBRHeader(bool v) { writeVbrHeader_ = v; }
  bool EnableVBR() const { return enableVbr_; }
  void SetEnableVBR(bool v) { enableVbr_ = v; }
  TMP3Quality VBRQuality() const { return vbrQuality_; }
  void SetVBRQuality(TMP3Quality v) { vbrQuality_ = v; }
  int VBRMinBitrate() const { return vbrMin_; }
  void SetVBRMinBitrate(int v) { vbrMin_ = v; }
  int VBRMaxBitrate() const { return vbrMax_; }
  void SetVBRMaxBitrate(int v) { vbrMax_ = v; }

  // Splitting a take by track: at the next block boundary of the PCM it reads,
  // the current file is finished (its encoder flushed) and the take goes on,
  // from the next sample, in a new file beside the chosen one named after
  // `title` (TrackFileName), with `title` as its title tag. Any thread; while
  // no run goes on it is forgotten.
  void RequestNextFile(const QString& title);
  // A run's files in order and the PCM frames each one's encoder was handed.
  struct TPart {
    QString FileName;
    qint64 Frames = 0;
  };
  std::vector<TPart> Parts() const;
  // Why the run's last split did not happen ("" when every one did): the
  // next file could not be made, so the take went on in the current one.
  QString SplitProblem() const;

  // True for the PCM the encoder can be fed: 8-bit (unsigned), 16-bit or 24-bit
  // (signed, little-endian), one or two channels.
  static bool SupportsFormat(int bitsPerSample, int channels);

protected:
  // lame_init_params; a test stands in an encoder that refuses its settings.
  virtual int InitEncoderParams(lame_global_struct* handle);
  void PrepareOutput() override;
  bool ProduceBlock(bool abort) override;
  void FinishOutput() override;
  void CleanupFailedPrepare() override;

private:
  // A new encoder for the file just opened, its tags first.
  void StartEncoder();
  // Flushes the encoder into the file, finishes the file's tags and closes it.
  void FinishFile(const std::function<void(const std::function<void()>&)>& attempt);
  // Goes on in the next file when one was asked for.
  void SplitIfRequested();
  void SetTags();
  // Writes `bytes` of the MP3 buffer; a failure is remembered for the end.
  void WriteAudio(int bytes);
  // The encoder's Info frame over its placeholder; after a failed write, one
  // that describes the frames the file really holds.
  void WriteInfoFrame();
  // The length (TLEN) into the leading tag, once it is known.
  void WriteLength();
  int EncodeFrames(const uint8_t* pcm, int frames);

  alignas(8) uint8_t pcm_[PcmBlockSize];
  int carry_ = 0;                // bytes of an incomplete frame kept at the start of pcm_
  std::vector<int16_t> stereo_;  // other formats converted to 16-bit left/right pairs
  int inBits_ = 16;
  TMP3BitRate bitRate_ = br128;
  lame_global_struct* handle_ = nullptr;
  std::vector<uint8_t> mp3_;   // allocated for a run only
  int mp3Size_ = Mp3BufferSize;
  qint64 infoFrameOffset_ = 0;  // where the placeholder Info frame sits
  qint64 samplesEncoded_ = 0;   // per channel, handed to the encoder this run
  bool writeFailed_ = false;    // some audio did not reach the file
  qint64 writtenFrames_ = -1;   // frames in the file after a failed write
  qint64 keepBytes_ = -1;       // the file's length once a frame cut short is gone
  int inRate_ = 0;
  int inChannels_ = 2;
  bool inputOpened_ = false;
  TAuInput* openedInput_ = nullptr;
  mutable std::mutex partsMutex_;
  std::vector<TPart> parts_;
  QString nextTitle_;           // a split asked for, under partsMutex_
  bool splitRequested_ = false;
  QString splitProblem_;        // under partsMutex_
  bool running_ = false;
  QString fileTitle_;           // the title tag of the file being written
  QString title_, artist_, album_, year_, track_, comment_, genre_;
  QDate date_;
  bool copyright_ = false, original_ = true, enableVbr_ = false, writeVbrHeader_ = false, crc_ = false;
  TMP3Quality vbrQuality_ = ql5;
  int vbrMin_ = 128, vbrMax_ = 192;
  TMP3Quality quality_ = ql5;
  TMP3Mode mode_ = STEREO;
  TMP3SampleRate sampleRate_ = srDefault;
};

// A free file name in `folder` for a track called `title`: characters that
// file systems refuse (and control characters) become "_", the name is cut
// to fit, and " (2)", " (3)", ... is added while the name is taken.
QString TrackFileName(const QString& folder, const QString& title);
