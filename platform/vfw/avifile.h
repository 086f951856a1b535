#pragma once

// The AVI file interface: AVI files read and written stream by stream, and WAVE files read as one audio
// stream.
//
// Samples. A stream's samples are numbered from AVIStreamStart (its dwStart) to AVIStreamEnd
// (exclusive). A video stream has one sample per frame (one chunk each). An audio stream with a
// dwSampleSize has samples of that many bytes (blocks of nBlockAlign bytes), which a read takes across
// chunk boundaries; an audio stream with dwSampleSize 0 (variable bit rate) has one sample per chunk,
// like video. The length of a stream that is read is counted from its index, so what the stream info
// reports is what can be read.
//
// Files. AVIFileOpen tells the kind of a file by its content: "RIFF" "AVI " (AVI 1.0, with OpenDML
// extension RIFFs read as well), "RIFF" "WAVE" (one audio stream: format from "fmt ", the "data" chunk
// as samples of nBlockAlign bytes), and plain MP3 files (one audio stream that reads like a WAVE file
// holding MP3: format tag 85, samples of one byte, rate the average bytes per second). Reading distrusts
// every size and offset; a damaged file gives an error or the part that can be read, never a crash or an
// endless loop.
//
// Writing. AVIFileOpen with OF_CREATE | OF_WRITE starts a new AVI file under a temporary name in the
// target's folder. Streams are created and given their format, then written; chunks go into the file in
// the order of the AVIStreamWrite calls (that order is the interleave). The headers, lengths and the
// idx1 index are written when the last reference to the file (the file's own and those of its streams)
// is released; only then does the file take its name, replacing what stood there. A file that could not
// be stored completely (a write failed) is removed instead and whatever stood under its name stays.
// AVI 1.0 limits a written file to 4 GB; a write that would pass it fails with AVIERR_FILEWRITE.
//
// Handles are reference counted and not shared between threads without the caller's own locking.

#include "platform/vfw/vfw_types.h"

#include <string_view>

namespace platform::vfw {

// Library start and end. Calls balance; the last AVIFileExit completes and closes every created file
// that is still open (its handles stay valid and report AVIERR_FILEWRITE for further writes).
void AVIFileInit();
void AVIFileExit();

// Opens a file for reading (OF_READ, sharing flags allowed) or creates one (OF_CREATE | OF_WRITE or
// OF_CREATE | OF_READWRITE). Opening an existing file for writing is AVIERR_UNSUPPORTED. Errors:
// AVIERR_FILEOPEN (cannot be opened or created), AVIERR_BADFORMAT (neither AVI nor WAVE, or damaged
// beyond use), AVIERR_BADPARAM.
HRESULT AVIFileOpen(PAVIFILE* ppfile, std::string_view szFile, UINT uMode);
ULONG AVIFileAddRef(PAVIFILE pfile);
ULONG AVIFileRelease(PAVIFILE pfile); // the remaining count; 0 when the file is closed
HRESULT AVIFileInfo(PAVIFILE pfile, AVIFILEINFO* pfi, LONG lSize);
// The lParam-th stream (from 0) of type fccType, or of any type when fccType is 0. AVIERR_NODATA when
// there is none. The stream holds a reference to its file.
HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, DWORD fccType, LONG lParam);
// A new stream of a created file, in creation order (stream 0, 1, ...). AVIERR_READONLY for a file
// opened for reading; AVIERR_UNSUPPORTED once the header area reserved at the first write is full.
HRESULT AVIFileCreateStream(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFO* psi);

// AVIFileOpen and AVIFileGetStream in one; the stream keeps the file open until it is released.
HRESULT AVIStreamOpenFromFile(PAVISTREAM* ppavi, std::string_view szFile, DWORD fccType, LONG lParam,
                              UINT mode);
ULONG AVIStreamAddRef(PAVISTREAM pavi);
ULONG AVIStreamRelease(PAVISTREAM pavi);
HRESULT AVIStreamInfo(PAVISTREAM pavi, AVISTREAMINFO* psi, LONG lSize);

// First sample, number of samples, first sample after the end; -1 for a null stream.
LONG AVIStreamStart(PAVISTREAM pavi);
LONG AVIStreamLength(PAVISTREAM pavi);
LONG AVIStreamEnd(PAVISTREAM pavi);

// Searches from lPos in the direction of lFlags (FIND_NEXT: lPos and after; FIND_PREV: lPos and
// before; FIND_FROM_START: the first from the start) for a sample of the kind asked (FIND_KEY: a key
// frame; FIND_ANY: any sample with data; FIND_FORMAT: a format change, of which there are none after
// the start). Returns its position, or with FIND_SIZE its size in bytes, FIND_OFFSET its file offset,
// FIND_LENGTH the length of its chunk in samples; -1 when there is none. Every sample of an audio stream
// counts as a key frame.
LONG AVIStreamFindSample(PAVISTREAM pavi, LONG lPos, LONG lFlags);
LONG AVIStreamNearestKeyFrame(PAVISTREAM pavi, LONG lPos); // the key frame at or before lPos
LONG AVIStreamNextKeyFrame(PAVISTREAM pavi, LONG lPos);    // the first key frame after lPos
LONG AVIStreamPrevKeyFrame(PAVISTREAM pavi, LONG lPos);    // the last key frame before lPos
BOOL AVIStreamIsKeyFrame(PAVISTREAM pavi, LONG lPos);
LONG AVIStreamNextSample(PAVISTREAM pavi, LONG lPos); // the first sample with data after lPos
LONG AVIStreamPrevSample(PAVISTREAM pavi, LONG lPos);

// The format at lPos (there is one per stream). With lpFormat null, *lpcbFormat receives its size.
// Otherwise *lpcbFormat holds the buffer size on entry: as much as fits is copied, *lpcbFormat receives
// the format's full size, and a format larger than the buffer gives AVIERR_BUFFERTOOSMALL.
HRESULT AVIStreamReadFormat(PAVISTREAM pavi, LONG lPos, void* lpFormat, LONG* lpcbFormat);
HRESULT AVIStreamFormatSize(PAVISTREAM pavi, LONG lPos, LONG* plSize);

// Reads lSamples samples from lStart (AVISTREAMREAD_CONVENIENT: to the end of the chunk at lStart).
// The count is cut at the stream's end and, for streams with a sample size, at what fits into cbBuffer;
// a stream without a sample size reads one chunk per call. With lpBuffer null nothing is read and
// *plBytes / *plSamples receive what the read would give. Errors: AVIERR_NODATA (lStart outside the
// stream; lStart at the end reads 0 samples), AVIERR_BUFFERTOOSMALL (not even one sample fits;
// *plBytes then receives the size needed), AVIERR_FILEREAD.
HRESULT AVIStreamRead(PAVISTREAM pavi, LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer,
                      LONG* plBytes, LONG* plSamples);

// Sets the format of a created stream; it can be set once, before the stream's first write.
HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG lPos, const void* lpFormat, LONG cbFormat);
// Appends one chunk of lSamples samples (cbBuffer bytes) at sample lStart (-1: at the end). The first
// write of a stream sets its dwStart to lStart; a later lStart beyond the end first fills the gap
// (video and streams without a sample size: empty chunks, which readers show as the previous frame;
// streams with a sample size: zero bytes). For a stream with a sample size cbBuffer must be lSamples
// whole samples; a stream without one takes one sample per write (0 samples write nothing). lStart
// before the end is AVIERR_BADPARAM. dwFlags: AVIIF_KEYFRAME marks a key frame.
HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG lStart, LONG lSamples, const void* lpBuffer, LONG cbBuffer,
                       DWORD dwFlags, LONG* plSampWritten, LONG* plBytesWritten);

// Milliseconds from the start of the file's timeline (sample 0, whatever the stream's start) to the
// start of a sample (rounded up to a whole
// millisecond, so that AVIStreamTimeToSample gives the sample back when it lasts a millisecond or
// more), and the sample shown at a time (rounded down). -1 for a null stream.
LONG AVIStreamSampleToTime(PAVISTREAM pavi, LONG lSample);
LONG AVIStreamTimeToSample(PAVISTREAM pavi, LONG lTime);

// Streaming hints for a player; they check their arguments and otherwise change nothing.
HRESULT AVIStreamBeginStreaming(PAVISTREAM pavi, LONG lStart, LONG lEnd, LONG lRate);
HRESULT AVIStreamEndStreaming(PAVISTREAM pavi);

} // namespace platform::vfw
