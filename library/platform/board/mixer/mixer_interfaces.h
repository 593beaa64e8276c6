// The DigiMix mixer as the effects graph reaches it through COM: the class identifiers of its
// filters, the control interfaces they are driven through, the data packet of the
// hardware-connection filters and the still-transfer record.
//
// The class identifiers are the board's. The interfaces, their identifiers (ours, defined
// here once) and the record layouts are this platform layer's own, written from what the
// on-air code passes and relies on, so a real board back-end can map each call onto the
// vendor's.
//
// How records travel: a keyframe source is a DirectData source whose one output pin is
// connected to a named input pin of a mixer unit ("2D DVE In" of a Fiesta renderer, "Fader In"
// of a wipe renderer, ...). The source's IKeyframeControl::SendKeyframe hands the record to
// whatever unit and pin that output is connected to; the unit checks the record's size for the
// pin and keeps the last one it accepted. A hardware-connection filter is the same kind of
// source connected to a video input of a unit; its IDirectData::ReceiveData takes a 72-byte
// packet that selects the crosspoint feeding that input.
#pragma once

#include <cstddef>

#include "platform/board/digisuite_interfaces.h"

// ---- filter classes ----
// The mixer family shares the tail -2BFE-11CF-962B-02608C0B0FB7.
inline constexpr CLSID CLSID_FiestaRenderer = zk::make_guid("2BD503B0-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_AlphaKeyRenderer = zk::make_guid("2BD503B7-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_PriorityProcessor0 = zk::make_guid("2BD503BA-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_PriorityProcessor1 = zk::make_guid("2BD503BB-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_DigiMixInputSelect = zk::make_guid("2BD503BC-2BFE-11CF-962B-02608C0B0FB7");
// Video key combiner n is {2BD503C0 + n}, n = 0 to 4.
inline constexpr CLSID CLSID_VideoKeyCombiner0 = zk::make_guid("2BD503C0-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_VideoKeyCombiner1 = zk::make_guid("2BD503C1-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_VideoKeyCombiner2 = zk::make_guid("2BD503C2-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_VideoKeyCombiner3 = zk::make_guid("2BD503C3-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_VideoKeyCombiner4 = zk::make_guid("2BD503C4-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_Movie2BusInput = zk::make_guid("2BD503C5-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_PreviewOutputSelect = zk::make_guid("2BD503C6-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_MainOutputSelect = zk::make_guid("2BD503C8-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_AlphaOutputSelect = zk::make_guid("2BD503C9-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_FxOutputASelect = zk::make_guid("2BD503CA-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_FxOutputBSelect = zk::make_guid("2BD503CB-2BFE-11CF-962B-02608C0B0FB7");
inline constexpr CLSID CLSID_SecondInputSelect = zk::make_guid("72B39A30-8D3F-11D1-BE23-00A024DEBF62");
inline constexpr CLSID CLSID_DirectDataSource = zk::make_guid("84DBF300-85BF-11CF-96EF-02608C0B0FB7");
inline constexpr CLSID CLSID_WipeRenderer = zk::make_guid("7A5C4901-380E-11D0-986A-02608C0B0FB7");
inline constexpr CLSID CLSID_BorderGenerator = zk::make_guid("7A5C4909-380E-11D0-986A-02608C0B0FB7");
inline constexpr CLSID CLSID_BackgroundGenerator2 = zk::make_guid("7A5C490B-380E-11D0-986A-02608C0B0FB7");
inline constexpr CLSID CLSID_HwConnTee = zk::make_guid("02CFF160-8465-11D0-BD38-00A024D24ACE");
inline constexpr CLSID CLSID_Movie2BusControlIn = zk::make_guid("50299251-5660-11CF-86CC-00608CC0389B");
inline constexpr CLSID CLSID_Movie2BusControlOut = zk::make_guid("50299252-5660-11CF-86CC-00608CC0389B");
inline constexpr CLSID CLSID_DigiLinxOutput0 = zk::make_guid("F171A0D3-E402-11CF-8AFE-0020AF9CBBA0");
inline constexpr CLSID CLSID_DigiLinxOutput1 = zk::make_guid("F171A0D4-E402-11CF-8AFE-0020AF9CBBA0");
inline constexpr CLSID CLSID_SdtiBusInput = zk::make_guid("6B27DFB1-C68E-11D2-9604-00A024D24ADF");
inline constexpr CLSID CLSID_SdiOutputA = zk::make_guid("F7212112-C68D-11D2-9604-00A024D24ADF");
inline constexpr CLSID CLSID_SdiOutputB = zk::make_guid("F7212113-C68D-11D2-9604-00A024D24ADF");
inline constexpr CLSID CLSID_MotionVideoSource0 = zk::make_guid("ACAA1B51-DF45-11CF-BA6B-02608C3BAEE4");
inline constexpr CLSID CLSID_MotionVideoSource1 = zk::make_guid("ACAA1B52-DF45-11CF-BA6B-02608C3BAEE4");
inline constexpr CLSID CLSID_AudioMixer = zk::make_guid("6FE273E0-41A1-11D0-BD08-02608C3BAEE4");
inline constexpr CLSID CLSID_AudioOutput = zk::make_guid("98841130-41A1-11D0-BD08-02608C3BAEE4");
inline constexpr CLSID CLSID_WaveSource = zk::make_guid("4F2802D0-41A1-11D0-BD08-02608C3BAEE4");
inline constexpr CLSID CLSID_LiveAudioInput = zk::make_guid("8B9DE500-41A1-11D0-BD08-02608C3BAEE4");
inline constexpr CLSID CLSID_GenieRenderer = zk::make_guid("C1A94DC0-87F1-11CF-B4EE-0000C54829E6");
inline constexpr CLSID CLSID_VfxSource = zk::make_guid("4136D6BA-28F9-11CF-8A08-0020AF9CBBA0");

// ---- the DirectData packet ----
// The 72-byte packet a hardware-connection filter receives, little-endian:
//   0  type GUID (MQ_DATATYPE_DIRECTDATA)      44  format GUID
//   16 source GUID (a crosspoint source)       60  reserved word (0)
//   32 word 1, 36 word 0, 40 word 0            64  payload size in bytes (8)
//                                              68  payload: a board-memory token
// The payload is never an address: the host maps its 8 bytes with map_board_memory() and puts
// the token in the last word (see board_memory.h); the filter resolves it for exactly the size
// the packet states and refuses the packet when that fails.
//
// Payload of a crosspoint selection (format MQ_DATAFORMAT_HWCONN): {0, index}: the input the
// connection takes from the source, 0 to 2. Payload of a TBC packet (format MQ_DATAFORMAT_TBC,
// sent to a Fiesta renderer's "TBC In"): {strobe rate, display mode}.
#pragma pack(push, 1)
struct MQ_DIRECTDATA_PACKET {
    GUID type;
    GUID source;
    DWORD dwWord32;
    DWORD dwWord36;
    DWORD dwWord40;
    GUID format;
    DWORD dwWord60;
    DWORD dwPayloadSize;
    DWORD dwPayloadToken;
};
#pragma pack(pop)
static_assert(sizeof(MQ_DIRECTDATA_PACKET) == 72);
static_assert(offsetof(MQ_DIRECTDATA_PACKET, format) == 44);
static_assert(offsetof(MQ_DIRECTDATA_PACKET, dwPayloadToken) == 68);

inline constexpr GUID MQ_DATATYPE_DIRECTDATA = zk::make_guid("51E4ED61-F9D9-11CE-B95D-0020AF0FFEAB");
inline constexpr GUID MQ_DATAFORMAT_HWCONN = zk::make_guid("51E4ED62-F9D9-11CE-B95D-0020AF0FFEAB");
inline constexpr GUID MQ_DATAFORMAT_TBC = zk::make_guid("5A7E3C16-6B2D-4C1E-9A53-2F0D8E4B7C10");
// The crosspoint source that feeds nothing.
inline constexpr GUID MQ_HWCONN_SOURCE_NONE = zk::make_guid("E436EB8E-524F-11CE-9F53-0020AF0BA770");
// Crosspoint sources are {1C2307xx-35AD-11CF-963F-02608C0B0FB7}; this board gives meaning to
// the Fiesta channel outputs, {1C230750 + n} for channel n (see mixer_composer.h).
constexpr GUID mq_hwconn_source(unsigned xx)
{
    GUID g = zk::make_guid("1C230700-35AD-11CF-963F-02608C0B0FB7");
    g.Data1 |= xx & 0xFFu;
    return g;
}
inline constexpr GUID MQ_HWCONN_SOURCE_FIESTA0 = mq_hwconn_source(0x50);

// ---- results ----
// No unit of the class is free for another filter (the board has only so many).
constexpr HRESULT MQ_E_NO_FREE_UNIT = hresult(0x80040A01);
// SelectUnit named a unit another filter drives, or one the class does not have.
constexpr HRESULT MQ_E_UNIT_IN_USE = hresult(0x80040A02);

// ---- control interfaces ----

// The control of a keyframe source: between BeginData and EndData it passes records to the
// unit input its output is connected to. A record sent before BeginData, after EndData, of
// the wrong size for that input, or from a source that is connected to no keyframe input is
// refused (VFW_E_WRONG_STATE, E_INVALIDARG, VFW_E_NOT_CONNECTED, VFW_E_TYPE_NOT_ACCEPTED) and
// the refusal is journalled.
struct IKeyframeControl : IUnknown {
    static constexpr GUID kIid = zk::make_guid("5A7E3C10-6B2D-4C1E-9A53-2F0D8E4B7C10");
    using Parent = IUnknown;
    virtual HRESULT BeginData() = 0;
    virtual HRESULT EndData() = 0;
    virtual HRESULT SendKeyframe(const void* record, DWORD size) = 0;
};

// The packet side of a DirectData source (hardware connections, the TBC data filter, the VFX
// source). BeginData and EndData share their state with IKeyframeControl. ReceiveData takes
// one whole packet (72 bytes, layout above) and applies it to the input the source is
// connected to at once, whether or not data has begun: a crosspoint is switched between
// EndData and the next BeginData.
struct IDirectData : IUnknown {
    static constexpr GUID kIid = zk::make_guid("5A7E3C11-6B2D-4C1E-9A53-2F0D8E4B7C10");
    using Parent = IUnknown;
    virtual HRESULT BeginData() = 0;
    virtual HRESULT EndData() = 0;
    virtual HRESULT ReceiveData(const void* packet, DWORD size) = 0;
};

// How a Fiesta channel's time-base corrector shows its frame store.
enum _DISPLAY_MODE : LONG {
    DISPLAY_FRAME = 0, // both fields as stored
    DISPLAY_FIELD = 1, // the first field's lines shown in both fields (no interlace flicker)
};

// The time-base corrector of a Fiesta renderer. The strobe rate is how often the frame store
// takes a new frame from the channel's input: every n-th frame, 0 never (frozen). A freeze is
// strobe 0 with display frame, a field freeze strobe 0 with display field, and the running
// state strobe 1 with display frame.
struct ITBCControl : IUnknown {
    static constexpr GUID kIid = zk::make_guid("5A7E3C12-6B2D-4C1E-9A53-2F0D8E4B7C10");
    using Parent = IUnknown;
    virtual HRESULT SetStrobeRate(DWORD rate) = 0;
    virtual HRESULT SetDisplayMode(_DISPLAY_MODE mode) = 0; // E_INVALIDARG beyond DISPLAY_FIELD
    virtual HRESULT GetStrobeRate(DWORD* rate) = 0;
    virtual HRESULT GetDisplayMode(_DISPLAY_MODE* mode) = 0;
};

// The transfer record of ITransferDIB: which rectangle of one picture goes where in another.
// The host picture is lWidth × lHeight 32-bit pixels, rows top first and unpadded, in a buffer
// of cbBuffer bytes; the channel's frame store is 720 × 486. PutFrame copies the source
// rectangle (lSrcX, lSrcY, lCopyWidth, lCopyHeight) of the host picture to (lDstX, lDstY) of
// the store; GetFrame copies that rectangle of the store to (lDstX, lDstY) of the host
// picture. Both rectangles must lie wholly inside their pictures (E_INVALIDARG otherwise:
// callers clip), and the host picture must fit its buffer.
struct MQ_TRANSFER_DIB {
    DWORD dwSize; // sizeof(MQ_TRANSFER_DIB)
    LONG lWidth;
    LONG lHeight;
    DWORD cbBuffer;
    LONG lSrcX;
    LONG lSrcY;
    LONG lCopyWidth;
    LONG lCopyHeight;
    LONG lDstX;
    LONG lDstY;
};
static_assert(sizeof(MQ_TRANSFER_DIB) == 40);

// 32-bit YUV pixels for the Yuv transfers: the words MtxColor::ARGBtoYUV makes.
inline constexpr GUID MEDIASUBTYPE_AYUV = zk::make_guid("56555941-0000-0010-8000-00AA00389B71");

// Still transfer of a Fiesta renderer. The media type is required: major type video, subtype
// RGB32 (the frame buffer's words) or AYUV, a format block of one 40-byte BITMAPINFOHEADER
// with one plane and 32 bits per pixel (VFW_E_INVALIDMEDIATYPE otherwise). A put shows on the
// next field, frozen or not (freezing keeps the input from replacing the store).
struct ITransferDIB : IUnknown {
    static constexpr GUID kIid = zk::make_guid("5A7E3C13-6B2D-4C1E-9A53-2F0D8E4B7C10");
    using Parent = IUnknown;
    virtual HRESULT PutFrame(const MQ_TRANSFER_DIB* transfer, const void* pixels, const AM_MEDIA_TYPE* mt) = 0;
    virtual HRESULT GetFrame(const MQ_TRANSFER_DIB* transfer, void* pixels, const AM_MEDIA_TYPE* mt) = 0;
};

// Which physical unit a mixer filter drives. A filter takes a unit when it joins a graph (the
// lowest free unit of its class) and gives it back when it leaves; SelectUnit moves it to a
// named free unit, so a graph that adds, say, Fiesta channels 3 and 4 without 1 and 2 can say
// so. GetUnit gives -1 while the filter drives none.
struct IMixerUnit : IUnknown {
    static constexpr GUID kIid = zk::make_guid("5A7E3C14-6B2D-4C1E-9A53-2F0D8E4B7C10");
    using Parent = IUnknown;
    virtual HRESULT GetUnit(LONG* unit) = 0;
    virtual HRESULT SelectUnit(LONG unit) = 0; // MQ_E_UNIT_IN_USE; VFW_E_NOT_IN_GRAPH outside a graph
};
