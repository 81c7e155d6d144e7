// The module's API under the names the page's side uses (workers/module.js):
// the one place that exports anything. Enums reach the page as objects whose
// names the worker turns into text, since a message between threads cannot
// carry them.
#include "module_api.hpp"

#include <emscripten/bind.h>
#include <emscripten/val.h>

namespace {

using emscripten::val;

template <typename Item>
val array_of(const std::vector<Item>& items)
{
    val array = val::array();
    for (const Item& item : items) {
        array.call<void>("push", val(item));
    }
    return array;
}

val samples_of(const std::array<std::int16_t, waveform_outline::columns>& samples, std::size_t count)
{
    return val(emscripten::typed_memory_view(count, samples.data())).call<val>("slice");
}

val list_disc_for_page(image_type type, val names)
{
    const disc_contents contents = list_disc(type, emscripten::vecFromJSArray<std::string>(names));
    val reply = val::object();
    reply.set("error", contents.error);
    reply.set("image", contents.image);
    reply.set("entries", array_of(contents.entries));
    reply.set("used", array_of(contents.used));
    return reply;
}

val conversion_val(const conversion_reply& converted)
{
    val reply = val::object();
    reply.set("status", converted.status);
    reply.set("frames", converted.frames);
    val outline = val::object();
    outline.set("low", samples_of(converted.outline.low, converted.outline.columns_used));
    outline.set("high", samples_of(converted.outline.high, converted.outline.columns_used));
    reply.set("waveform", outline);
    return reply;
}

val convert_input_for_page(const conversion_request& request)
{
    return conversion_val(convert_input(request));
}

val convert_first_part_for_page(const conversion_request& request)
{
    const first_part_reply first = convert_first_part(request);
    val reply = conversion_val(first.converted);
    reply.set("reason", first.listing.reason);
    reply.set("unreadable", first.listing.unreadable);
    reply.set("parts", array_of(first.listing.parts));
    return reply;
}

} // namespace

EMSCRIPTEN_BINDINGS(rippers)
{
    using namespace emscripten;

    enum_<image_type>("ImageType")
        .value("iso", image_type::iso)
        .value("bin", image_type::bin)
        .value("cue", image_type::cue);
    enum_<converter_program>("Program")
        .value("cinerip", converter_program::cinerip)
        .value("blockrip", converter_program::blockrip)
        .value("cdAudio", converter_program::cd_audio)
        .value("xa", converter_program::xa)
        .value("vag", converter_program::vag)
        .value("bank", converter_program::bank);
    enum_<input_kind>("InputKind")
        .value("wholeFile", input_kind::whole_file)
        .value("dataFile", input_kind::data_file)
        .value("audioTrack", input_kind::audio_track)
        .value("none", input_kind::none);
    enum_<entry_kind>("EntryKind")
        .value("dataFile", entry_kind::data_file)
        .value("audioTrack", entry_kind::audio_track)
        .value("unread", entry_kind::unread);
    enum_<sector_layout>("SectorLayout").value("raw", sector_layout::raw).value("cooked", sector_layout::cooked);
    enum_<content_verdict>("Verdict")
        .value("cinerip", content_verdict::cinerip)
        .value("blockrip", content_verdict::blockrip)
        .value("xa", content_verdict::xa)
        .value("vag", content_verdict::vag)
        .value("bank", content_verdict::bank)
        .value("skipped", content_verdict::skipped)
        .value("unreadable", content_verdict::unreadable);

    value_object<input_location>("InputLocation")
        .field("kind", &input_location::kind)
        .field("file", &input_location::file)
        .field("start", &input_location::start)
        .field("sectors", &input_location::sectors)
        .field("layout", &input_location::layout)
        .field("size", &input_location::size)
        .field("form2", &input_location::form2);
    value_object<listed_entry>("ListedEntry")
        .field("kind", &listed_entry::kind)
        .field("path", &listed_entry::path)
        .field("reason", &listed_entry::reason)
        .field("location", &listed_entry::location)
        .field("span", &listed_entry::span);
    value_object<sorting_reply>("SortingReply")
        .field("verdict", &sorting_reply::verdict)
        .field("reason", &sorting_reply::reason);
    value_object<output_part>("SoundPart")
        .field("suffix", &output_part::suffix)
        .field("note", &output_part::note)
        .field("channels", &output_part::channels)
        .field("rate", &output_part::rate)
        .field("start", &output_part::start)
        .field("end", &output_part::end)
        .field("bytes", &output_part::bytes)
        .field("xaFile", &output_part::xa_file)
        .field("xaChannel", &output_part::xa_channel)
        .field("eightBit", &output_part::eight_bit);
    value_object<conversion_request>("ConversionRequest")
        .field("program", &conversion_request::program)
        .field("rateSwitch", &conversion_request::rate_switch)
        .field("name", &conversion_request::name)
        .field("input", &conversion_request::input)
        .field("body", &conversion_request::body)
        .field("part", &conversion_request::part);

    // listDisc(ImageType, names: string[]) -> { error, entries: ListedEntry[], used: number[] }
    function("listDisc", &list_disc_for_page);
    function("sortInput", &sort_input);
    function("programRate", &program_rate);
    function("wavBound", &wav_bound);
    // convertInput(ConversionRequest) -> { status, frames, waveform: { low, high } }
    function("convertInput", &convert_input_for_page);
    // convertFirstPart(ConversionRequest) -> the same, and { reason, unreadable, parts: SoundPart[] }
    function("convertFirstPart", &convert_first_part_for_page);
}
