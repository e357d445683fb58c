#include "audio/mp3_out.h"

#include "audio/mp3_frames.h"

#include <lame/lame.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

namespace {
// Zero-terminated UTF-16 with a byte-order mark, as the encoder wants it.
std::vector<unsigned short> Utf16(const QString& text)
{
  std::vector<unsigned short> out;
  out.reserve(static_cast<size_t>(text.size()) + 2);
  out.push_back(0xFEFF);
  for (QChar c : text) out.push_back(c.unicode());
  out.push_back(0);
  return out;
}

bool IsLatin1(const QString& text)
{
  for (QChar c : text)
    if (c.unicode() > 0xFF) return false;
  return true;
}

// True when an ID3v1 field of `width` bytes holds `text` unchanged.
bool FitsV1(const QString& text, int width) { return IsLatin1(text) && text.size() <= width; }

bool IsV1Track(const QString& text)
{
  bool ok = false;
  const int n = text.toInt(&ok);
  return ok && n >= 1 && n <= 255;
}

// Room left in the leading ID3v2 tag (when there is one: some tag is set) for
// the length (TLEN), known only at the end.
constexpr int kLengthRoom = 32;

qint64 Id3v2Size(const uint8_t* head)
{
  if (std::memcmp(head, "ID3", 3) != 0) return 0;
  qint64 size = 10 + ((qint64(head[6] & 0x7F) << 21) | (qint64(head[7] & 0x7F) << 14) |
                      (qint64(head[8] & 0x7F) << 7) | qint64(head[9] & 0x7F));
  if (head[5] & 0x10) size += 10;  // footer
  return size;
}
} // namespace

TMP3Out::TMP3Out(TComponent* AOwner) : TAuFileOut(AOwner)
{
  // libmp3lame is linked in, so there is no library to load and nothing that
  // can be missing at run time.
}

TMP3Out::~TMP3Out()
{
  Shutdown();
}

int TMP3Out::Kbps(TMP3BitRate rate)
{
  static constexpr int table[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
  const int i = static_cast<int>(rate);
  return i >= 0 && i < int(std::size(table)) ? table[i] : 128;
}

std::optional<TMP3Out::TMP3BitRate> TMP3Out::BitRateOf(int kbps)
{
  for (int r = br8; r <= br320; ++r)
    if (Kbps(TMP3BitRate(r)) == kbps) return TMP3BitRate(r);
  return std::nullopt;
}

int TMP3Out::OutputRate(TMP3SampleRate rate)
{
  switch (rate) {
  case sr32kHz: return 32000;
  // 41000, not 44100: the value this setting has always passed on, kept so that
  // stored settings mean what they meant. LAME takes the nearest MPEG rate at
  // or above it, so the file comes out at 44100 all the same.
  case sr41kHz: return 41000;
  case sr48kHz: return 48000;
  default: return 0;
  }
}

bool TMP3Out::SupportsFormat(int bitsPerSample, int channels)
{
  return (bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 24) && (channels == 1 || channels == 2);
}

int TMP3Out::InitEncoderParams(lame_global_struct* handle)
{
  return lame_init_params(handle);
}

void TMP3Out::PrepareOutput()
{
  if (FileName().isEmpty()) throw EAuException(QStringLiteral("File name is not assigned."));
  TAuInput* input = Input();
  // Checked before the file is made, so an existing file is not emptied for
  // a run that cannot happen.
  const int bits = input->InBitsPerSample(), channels = input->InChannels();
  if (!SupportsFormat(bits, channels))
    throw EAuException(QStringLiteral("不支持的输入格式：%1 位、%2 声道（可录制 8、16、24 位 PCM 的单声道或立体声）")
                           .arg(bits)
                           .arg(channels));
  inBits_ = bits;
  inChannels_ = channels;
  carry_ = 0;
  Stream = std::make_unique<TAuFileStream>(FileName());
  input->OpenInput();
  inputOpened_ = true;
  openedInput_ = input;

  {
    std::lock_guard lock(partsMutex_);
    parts_.assign(1, TPart{FileName(), 0});
    splitRequested_ = false;
    splitProblem_.clear();
    running_ = true;
  }
  fileTitle_ = title_;
  StartEncoder();
}

void TMP3Out::StartEncoder()
{
  handle_ = lame_init();
  if (!handle_) throw Exception(QStringLiteral("LAME init failed"));
  // No length goes to the encoder now: it would write it into the leading tag
  // (TLEN) at once, and a run stopped early, killed or cut by a full disk
  // would claim the length asked for. The length is written at the end.
  samplesEncoded_ = 0;
  writeFailed_ = false;
  const int inRate = openedInput_->InSampleRate();
  inRate_ = inRate;
  lame_set_in_samplerate(handle_, inRate);
  lame_set_num_channels(handle_, 2);  // one-channel input is fed duplicated
  lame_set_out_samplerate(handle_, inRate < 41000 ? 32000 : OutputRate(sampleRate_));
  lame_set_mode(handle_, static_cast<MPEG_mode>(inChannels_ == 1 ? 3 : static_cast<int>(mode_)));
  lame_set_copyright(handle_, copyright_ ? 1 : 0);
  lame_set_original(handle_, original_ ? 1 : 0);
  lame_set_error_protection(handle_, crc_ ? 1 : 0);
  if (!enableVbr_) {
    lame_set_brate(handle_, Kbps(bitRate_));
    lame_set_quality(handle_, static_cast<int>(quality_));
  } else {
    if (writeVbrHeader_) lame_set_bWriteVbrTag(handle_, 1);
    lame_set_VBR(handle_, vbr_mtrh);
    lame_set_VBR_q(handle_, static_cast<int>(vbrQuality_));
    if (vbrMin_ > vbrMax_) std::swap(vbrMin_, vbrMax_);
    lame_set_VBR_min_bitrate_kbps(handle_, vbrMin_);
    lame_set_VBR_max_bitrate_kbps(handle_, vbrMax_);
  }
  // The ID3v2 tag has to lead the file, so the tags are handed over before the
  // encoder starts its stream; it writes the ID3v1 tag behind the last frame.
  SetTags();
  id3tag_set_pad(handle_, kLengthRoom);
  if (InitEncoderParams(handle_) < 0) throw Exception(QStringLiteral("LAME init failed"));
  mp3Size_ = Mp3BufferSize;
  mp3_.assign(static_cast<size_t>(mp3Size_), 0);
  if (inBits_ != 16 || inChannels_ != 2) stereo_.assign(2 * size_t(MaxFramesPerCall), 0);
}

void TMP3Out::SetTags()
{
  id3tag_init(handle_);
  id3tag_add_v2(handle_);
  // Texts that an ID3v1 field holds go through the classic setters (ID3v1 and a
  // Latin-1 ID3v2 frame); anything else becomes a Unicode ID3v2 frame only.
  auto text = [this](const char* frame, const QString& value, int v1Width, void (*v1)(lame_t, const char*)) {
    if (value.isEmpty()) return;
    if (FitsV1(value, v1Width))
      v1(handle_, value.toLatin1().constData());
    else
      id3tag_set_textinfo_utf16(handle_, frame, Utf16(value).data());
  };
  text("TIT2", fileTitle_, 30, id3tag_set_title);
  text("TPE1", artist_, 30, id3tag_set_artist);
  text("TALB", album_, 30, id3tag_set_album);
  const bool dated = date_.isValid() && date_.year() >= 1000 && date_.year() <= 9999;
  text("TYER", year_.isEmpty() && dated ? QString::number(date_.year()) : year_, 4, id3tag_set_year);
  if (dated) id3tag_set_textinfo_latin1(handle_, "TDAT", date_.toString(QStringLiteral("ddMM")).toLatin1().constData());
  if (!track_.isEmpty()) {
    if (IsV1Track(track_))
      id3tag_set_track(handle_, track_.toLatin1().constData());
    else
      id3tag_set_textinfo_utf16(handle_, "TRCK", Utf16(track_).data());
  }
  if (!comment_.isEmpty()) {
    if (FitsV1(comment_, 28)) {
      id3tag_set_comment(handle_, comment_.toLatin1().constData());
    } else {
      const std::vector<unsigned short> noDescription = Utf16(QString());
      id3tag_set_comment_utf16(handle_, "XXX", noDescription.data(), Utf16(comment_).data());
    }
  }
  if (!genre_.isEmpty()) {
    if (IsLatin1(genre_))
      id3tag_set_genre(handle_, genre_.toLatin1().constData());  // a name ID3v1 lacks becomes "Other" there
    else
      id3tag_set_textinfo_utf16(handle_, "TCON", Utf16(genre_).data());
  }
}

bool TMP3Out::ProduceBlock(bool abort)
{
  if (!OutputEnabled) return true;
  if (abort) return false;
  SplitIfRequested();
  const int n = openedInput_->ReadData(pcm_ + carry_, PcmBlockSize - carry_);
  if (n <= 0) return false;
  // An input may hand over part of a frame (a 24-bit stereo frame of 6 bytes
  // does not divide the block): the rest waits for the next read.
  const int bytes = carry_ + n;
  const int frameBytes = inBits_ / 8 * inChannels_;
  const int frames = bytes / frameBytes;
  carry_ = bytes - frames * frameBytes;
  // The MP3 buffer holds what MaxFramesPerCall frames give at most.
  for (int done = 0; done < frames;) {
    const int count = std::min(frames - done, MaxFramesPerCall);
    const int encoded = EncodeFrames(pcm_ + size_t(done) * size_t(frameBytes), count);
    if (encoded < 0) return false;
    samplesEncoded_ += count;
    {
      std::lock_guard lock(partsMutex_);
      parts_.back().Frames += count;
    }
    WriteAudio(encoded);
    done += count;
  }
  if (carry_ > 0) std::memmove(pcm_, pcm_ + size_t(frames) * size_t(frameBytes), size_t(carry_));
  return true;
}

int TMP3Out::EncodeFrames(const uint8_t* pcm, int frames)
{
  if (inBits_ == 16 && inChannels_ == 2) {
    // The block's alignment keeps every frame start 4-byte aligned.
    return lame_encode_buffer_interleaved(handle_, reinterpret_cast<short*>(const_cast<uint8_t*>(pcm)), frames,
                                          mp3_.data(), mp3Size_);
  }
  // Anything else becomes signed 16-bit left/right pairs; one channel feeds both.
  const int samples = frames * inChannels_;
  int16_t* out = stereo_.data();
  const auto put = [&](int i, int16_t v) {
    if (inChannels_ == 2) {
      out[i] = v;
    } else {
      out[2 * i] = out[2 * i + 1] = v;
    }
  };
  switch (inBits_) {
  case 8:  // unsigned, 128 is silence
    for (int i = 0; i < samples; ++i) put(i, static_cast<int16_t>((int(pcm[i]) - 128) * 256));
    break;
  case 16:
    for (int i = 0; i < samples; ++i) put(i, static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8)));
    break;
  default:  // 24: the top two bytes of each little-endian sample
    for (int i = 0; i < samples; ++i) put(i, static_cast<int16_t>(pcm[3 * i + 1] | (pcm[3 * i + 2] << 8)));
    break;
  }
  return lame_encode_buffer_interleaved(handle_, out, frames, mp3_.data(), mp3Size_);
}

void TMP3Out::WriteAudio(int bytes)
{
  if (bytes <= 0) return;
  try {
    Stream->Write(mp3_.data(), bytes);
  } catch (...) {
    writeFailed_ = true;
    throw;
  }
}

void TMP3Out::WriteInfoFrame()
{
  if (!Stream || !Stream->Seekable()) return;
  unsigned char frame[4096];
  const size_t n = lame_get_lametag_frame(handle_, frame, sizeof frame);
  if (n < 4 || n > sizeof frame) return;
  // The encoder's stream starts with the ID3v2 tag, if any, then the
  // placeholder frame; write only over a frame with the same header.
  unsigned char head[10];
  if (Stream->ReadAt(0, head, 10) != 10) return;
  infoFrameOffset_ = Id3v2Size(head);
  unsigned char header[3];
  if (Stream->ReadAt(infoFrameOffset_, header, 3) != 3 || std::memcmp(header, frame, 3) != 0) return;
  QByteArray info(reinterpret_cast<const char*>(frame), qsizetype(n));
  if (writeFailed_) {
    // The encoder counted frames the disk did not take: the frame describes
    // the whole frames the file holds, and a frame cut short goes.
    const qint64 audioStart = infoFrameOffset_ + qint64(n);
    const qint64 end = Stream->Written();
    TMp3FrameCounter counter;
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (qint64 at = audioStart; at < end;) {
      const qint64 got = Stream->ReadAt(at, chunk.data(), std::min<qint64>(chunk.size(), end - at));
      if (got <= 0) return;
      counter.Feed(chunk.constData(), qsizetype(got));
      at += got;
    }
    const TMp3FrameCount& count = counter.Count();
    // A whole ID3v1 tag behind the frames may stay; anything else is cut.
    char tail[3] = {};
    const bool wholeV1 = end - audioStart - count.Bytes == 128 &&
                         Stream->ReadAt(audioStart + count.Bytes, tail, 3) == 3 && std::memcmp(tail, "TAG", 3) == 0;
    if (!wholeV1) keepBytes_ = audioStart + count.Bytes;
    writtenFrames_ = count.Frames;
    if (!DescribeMp3Frames(info, count)) return;
  }
  Stream->WriteAt(infoFrameOffset_, info.constData(), info.size());
}

void TMP3Out::WriteLength()
{
  if (!Stream || !Stream->Seekable() || inRate_ <= 0) return;
  unsigned char head[10];
  if (Stream->ReadAt(0, head, 10) != 10) return;
  const qint64 tagSize = Id3v2Size(head);
  if (tagSize == 0) return;
  qint64 samples = samplesEncoded_;
  if (writeFailed_ && writtenFrames_ < 0) return;  // what the file holds is not known
  if (writeFailed_) {
    // What the frames that reached the disk hold, less the encoder's delay.
    const int outRate = lame_get_out_samplerate(handle_), perFrame = lame_get_framesize(handle_);
    const qint64 out = std::max<qint64>(writtenFrames_ * perFrame - lame_get_encoder_delay(handle_), 0);
    if (outRate > 0) samples = std::min(samples, out * inRate_ / outRate);
  }
  lame_set_num_samples(handle_, static_cast<unsigned long>(std::max<qint64>(samples, 0)));
  // The tag grows by the length frame; the padding gives that room back, so
  // the tag keeps its size and is written over itself.
  std::vector<unsigned char> tag(size_t(tagSize) + 256);
  size_t size = lame_get_id3v2_tag(handle_, tag.data(), tag.size());
  const qint64 grown = qint64(size) - tagSize;
  if (grown > 0 && grown <= kLengthRoom) {
    id3tag_set_pad(handle_, size_t(kLengthRoom - grown));
    size = lame_get_id3v2_tag(handle_, tag.data(), tag.size());
  }
  if (qint64(size) != tagSize) return;
  Stream->WriteAt(0, tag.data(), tagSize);
}

void TMP3Out::FinishFile(const std::function<void(const std::function<void()>&)>& attempt)
{
  keepBytes_ = -1;
  writtenFrames_ = -1;
  if (handle_ && !mp3_.empty()) {
    attempt([&] {
      const int k = lame_encode_flush(handle_, mp3_.data(), mp3Size_);
      if (k > 0 && Stream) WriteAudio(k);
    });
    attempt([&] { WriteInfoFrame(); });
    attempt([&] { WriteLength(); });
  }
  if (Stream) {
    const QString name = Stream->FileName();
    attempt([&] { Stream->Close(); });
    Stream.reset();
    if (keepBytes_ >= 0) QFile::resize(name, keepBytes_);
  }
  if (handle_) {
    lame_close(handle_);
    handle_ = nullptr;
  }
}

void TMP3Out::SplitIfRequested()
{
  QString title;
  {
    std::lock_guard lock(partsMutex_);
    if (!splitRequested_) return;
    splitRequested_ = false;
    title = nextTitle_;
  }
  // The next file first: when it cannot be made (the folder gone or full) the
  // take goes on in the current one rather than ending.
  const QString name = TrackFileName(QFileInfo(FileName()).absolutePath(), title);
  std::unique_ptr<TAuFileStream> next;
  try {
    next = std::make_unique<TAuFileStream>(name);
  } catch (const Exception& e) {
    std::lock_guard lock(partsMutex_);
    splitProblem_ = e.Message();
    return;
  }
  // The block read next goes to the new file, so no sample is lost or doubled.
  std::exception_ptr first;
  FinishFile([&first](const std::function<void()>& step) {
    try {
      step();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  });
  if (first) std::rethrow_exception(first);
  Stream = std::move(next);
  {
    std::lock_guard lock(partsMutex_);
    parts_.push_back(TPart{name, 0});
  }
  fileTitle_ = title;
  StartEncoder();
}

void TMP3Out::RequestNextFile(const QString& title)
{
  std::lock_guard lock(partsMutex_);
  if (!running_) return;
  nextTitle_ = title;
  splitRequested_ = true;
}

std::vector<TMP3Out::TPart> TMP3Out::Parts() const
{
  std::lock_guard lock(partsMutex_);
  return parts_;
}

QString TMP3Out::SplitProblem() const
{
  std::lock_guard lock(partsMutex_);
  return splitProblem_;
}

void TMP3Out::FinishOutput()
{
  // Releases everything even when a step fails (a full disk), then reports
  // the first failure.
  std::exception_ptr first;
  auto attempt = [&first](const std::function<void()>& step) {
    try {
      step();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  };
  {
    std::lock_guard lock(partsMutex_);
    running_ = false;
    splitRequested_ = false;
  }
  FinishFile(attempt);
  std::vector<uint8_t>().swap(mp3_);
  std::vector<int16_t>().swap(stereo_);
  if (inputOpened_) {
    inputOpened_ = false;
    attempt([&] { openedInput_->CloseInput(); });
  }
  openedInput_ = nullptr;
  if (first) std::rethrow_exception(first);
}

void TMP3Out::CleanupFailedPrepare()
{
  {
    std::lock_guard lock(partsMutex_);
    running_ = false;
  }
  std::vector<uint8_t>().swap(mp3_);
  std::vector<int16_t>().swap(stereo_);
  if (handle_) {
    lame_close(handle_);
    handle_ = nullptr;
  }
  if (Stream) {
    try {
      Stream->Close();
    } catch (...) {
    }
    Stream.reset();
  }
  // The base leaves the input idle (ResetInput).
  inputOpened_ = false;
  openedInput_ = nullptr;
}

QString TrackFileName(const QString& folder, const QString& title)
{
  QString base;
  for (QChar c : title.trimmed())
    base += c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c) ? QChar('_') : c;
  // Room for " (NNN).mp3" within the 255 bytes a name may take.
  while (base.toUtf8().size() > 230) base.chop(1);
  while (base.endsWith('.') || base.endsWith(' ')) base.chop(1);
  if (base.isEmpty() || base.startsWith('.')) base.prepend(QString::fromUtf8("曲目"));
  const QDir dir(folder);
  QString name = dir.filePath(base + ".mp3");
  for (int n = 2; QFileInfo::exists(name); ++n) name = dir.filePath(QStringLiteral("%1 (%2).mp3").arg(base).arg(n));
  return name;
}
