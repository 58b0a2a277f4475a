#pragma once
// The Cairo, Pango, fontconfig and GLib functions the drawing layer uses,
// reached through libraries loaded on first use: a conversion without a frame
// or watermark never pays for loading them. Include after their headers and
// only from imaging/drawing.cpp.

namespace trovabild {

#define TROVABILD_DRAWING_FUNCTIONS(X) \
  X(cairo, cairo_close_path) \
  X(cairo, cairo_create) \
  X(cairo, cairo_destroy) \
  X(cairo, cairo_fill) \
  X(cairo, cairo_font_options_create) \
  X(cairo, cairo_font_options_destroy) \
  X(cairo, cairo_font_options_set_antialias) \
  X(cairo, cairo_font_options_set_hint_metrics) \
  X(cairo, cairo_font_options_set_hint_style) \
  X(cairo, cairo_image_surface_create) \
  X(cairo, cairo_image_surface_get_data) \
  X(cairo, cairo_image_surface_get_stride) \
  X(cairo, cairo_line_to) \
  X(cairo, cairo_move_to) \
  X(cairo, cairo_new_path) \
  X(cairo, cairo_paint) \
  X(cairo, cairo_paint_with_alpha) \
  X(cairo, cairo_set_antialias) \
  X(cairo, cairo_set_fill_rule) \
  X(cairo, cairo_set_operator) \
  X(cairo, cairo_set_source_rgba) \
  X(cairo, cairo_set_source_surface) \
  X(cairo, cairo_status) \
  X(cairo, cairo_surface_destroy) \
  X(cairo, cairo_surface_flush) \
  X(cairo, cairo_surface_mark_dirty) \
  X(cairo, cairo_surface_status) \
  X(cairo, cairo_surface_write_to_png_stream) \
  X(pango, pango_attr_list_insert) \
  X(pango, pango_attr_list_new) \
  X(pango, pango_attr_list_unref) \
  X(pango, pango_attr_strikethrough_new) \
  X(pango, pango_attr_underline_new) \
  X(pango, pango_context_set_round_glyph_positions) \
  X(pango, pango_font_description_free) \
  X(pango, pango_font_description_new) \
  X(pango, pango_font_description_set_absolute_size) \
  X(pango, pango_font_description_set_family) \
  X(pango, pango_font_description_set_style) \
  X(pango, pango_font_description_set_weight) \
  X(pango, pango_layout_get_extents) \
  X(pango, pango_layout_get_pixel_extents) \
  X(pango, pango_layout_new) \
  X(pango, pango_layout_set_attributes) \
  X(pango, pango_layout_set_font_description) \
  X(pango, pango_layout_set_single_paragraph_mode) \
  X(pango, pango_layout_set_text) \
  X(pangocairo, pango_cairo_context_set_font_options) \
  X(pangocairo, pango_cairo_context_set_resolution) \
  X(pangocairo, pango_cairo_create_context) \
  X(pangocairo, pango_cairo_show_layout) \
  X(pangocairo, pango_cairo_update_layout) \
  X(fontconfig, FcConfigSubstitute) \
  X(fontconfig, FcDefaultSubstitute) \
  X(fontconfig, FcFontMatch) \
  X(fontconfig, FcPatternAddInteger) \
  X(fontconfig, FcPatternAddString) \
  X(fontconfig, FcPatternCreate) \
  X(fontconfig, FcPatternDestroy) \
  X(fontconfig, FcPatternFindIter) \
  X(fontconfig, FcPatternGetString) \
  X(fontconfig, FcPatternIterGetValue) \
  X(fontconfig, FcPatternIterStart) \
  X(fontconfig, FcPatternIterValueCount) \
  X(glib, g_free) \
  X(glib, g_utf8_make_valid) \
  X(glib, g_utf8_validate) \
  X(gobject, g_object_unref)

struct DrawingLibraries {
#define TROVABILD_DECLARE(library, name) decltype(&::name) name = nullptr;
  TROVABILD_DRAWING_FUNCTIONS(TROVABILD_DECLARE)
#undef TROVABILD_DECLARE
};

/// The loaded functions; the first call loads the libraries. A missing
/// library is a broken installation: the process ends with a message.
const DrawingLibraries& drawingLibraries();

}  // namespace trovabild

#ifndef TROVABILD_DRAWING_LOADER
#define FcConfigSubstitute (::trovabild::drawingLibraries().FcConfigSubstitute)
#define FcDefaultSubstitute (::trovabild::drawingLibraries().FcDefaultSubstitute)
#define FcFontMatch (::trovabild::drawingLibraries().FcFontMatch)
#define FcPatternAddInteger (::trovabild::drawingLibraries().FcPatternAddInteger)
#define FcPatternAddString (::trovabild::drawingLibraries().FcPatternAddString)
#define FcPatternCreate (::trovabild::drawingLibraries().FcPatternCreate)
#define FcPatternDestroy (::trovabild::drawingLibraries().FcPatternDestroy)
#define FcPatternFindIter (::trovabild::drawingLibraries().FcPatternFindIter)
#define FcPatternGetString (::trovabild::drawingLibraries().FcPatternGetString)
#define FcPatternIterGetValue (::trovabild::drawingLibraries().FcPatternIterGetValue)
#define FcPatternIterStart (::trovabild::drawingLibraries().FcPatternIterStart)
#define FcPatternIterValueCount (::trovabild::drawingLibraries().FcPatternIterValueCount)
#define cairo_close_path (::trovabild::drawingLibraries().cairo_close_path)
#define cairo_create (::trovabild::drawingLibraries().cairo_create)
#define cairo_destroy (::trovabild::drawingLibraries().cairo_destroy)
#define cairo_fill (::trovabild::drawingLibraries().cairo_fill)
#define cairo_font_options_create (::trovabild::drawingLibraries().cairo_font_options_create)
#define cairo_font_options_destroy (::trovabild::drawingLibraries().cairo_font_options_destroy)
#define cairo_font_options_set_antialias (::trovabild::drawingLibraries().cairo_font_options_set_antialias)
#define cairo_font_options_set_hint_metrics (::trovabild::drawingLibraries().cairo_font_options_set_hint_metrics)
#define cairo_font_options_set_hint_style (::trovabild::drawingLibraries().cairo_font_options_set_hint_style)
#define cairo_image_surface_create (::trovabild::drawingLibraries().cairo_image_surface_create)
#define cairo_image_surface_get_data (::trovabild::drawingLibraries().cairo_image_surface_get_data)
#define cairo_image_surface_get_stride (::trovabild::drawingLibraries().cairo_image_surface_get_stride)
#define cairo_line_to (::trovabild::drawingLibraries().cairo_line_to)
#define cairo_move_to (::trovabild::drawingLibraries().cairo_move_to)
#define cairo_new_path (::trovabild::drawingLibraries().cairo_new_path)
#define cairo_paint (::trovabild::drawingLibraries().cairo_paint)
#define cairo_paint_with_alpha (::trovabild::drawingLibraries().cairo_paint_with_alpha)
#define cairo_set_antialias (::trovabild::drawingLibraries().cairo_set_antialias)
#define cairo_set_fill_rule (::trovabild::drawingLibraries().cairo_set_fill_rule)
#define cairo_set_operator (::trovabild::drawingLibraries().cairo_set_operator)
#define cairo_set_source_rgba (::trovabild::drawingLibraries().cairo_set_source_rgba)
#define cairo_set_source_surface (::trovabild::drawingLibraries().cairo_set_source_surface)
#define cairo_status (::trovabild::drawingLibraries().cairo_status)
#define cairo_surface_destroy (::trovabild::drawingLibraries().cairo_surface_destroy)
#define cairo_surface_flush (::trovabild::drawingLibraries().cairo_surface_flush)
#define cairo_surface_mark_dirty (::trovabild::drawingLibraries().cairo_surface_mark_dirty)
#define cairo_surface_status (::trovabild::drawingLibraries().cairo_surface_status)
#define cairo_surface_write_to_png_stream (::trovabild::drawingLibraries().cairo_surface_write_to_png_stream)
#define g_free (::trovabild::drawingLibraries().g_free)
#define g_object_unref (::trovabild::drawingLibraries().g_object_unref)
#define g_utf8_make_valid (::trovabild::drawingLibraries().g_utf8_make_valid)
#define g_utf8_validate (::trovabild::drawingLibraries().g_utf8_validate)
#define pango_attr_list_insert (::trovabild::drawingLibraries().pango_attr_list_insert)
#define pango_attr_list_new (::trovabild::drawingLibraries().pango_attr_list_new)
#define pango_attr_list_unref (::trovabild::drawingLibraries().pango_attr_list_unref)
#define pango_attr_strikethrough_new (::trovabild::drawingLibraries().pango_attr_strikethrough_new)
#define pango_attr_underline_new (::trovabild::drawingLibraries().pango_attr_underline_new)
#define pango_cairo_context_set_font_options (::trovabild::drawingLibraries().pango_cairo_context_set_font_options)
#define pango_cairo_context_set_resolution (::trovabild::drawingLibraries().pango_cairo_context_set_resolution)
#define pango_cairo_create_context (::trovabild::drawingLibraries().pango_cairo_create_context)
#define pango_cairo_show_layout (::trovabild::drawingLibraries().pango_cairo_show_layout)
#define pango_cairo_update_layout (::trovabild::drawingLibraries().pango_cairo_update_layout)
#define pango_context_set_round_glyph_positions (::trovabild::drawingLibraries().pango_context_set_round_glyph_positions)
#define pango_font_description_free (::trovabild::drawingLibraries().pango_font_description_free)
#define pango_font_description_new (::trovabild::drawingLibraries().pango_font_description_new)
#define pango_font_description_set_absolute_size (::trovabild::drawingLibraries().pango_font_description_set_absolute_size)
#define pango_font_description_set_family (::trovabild::drawingLibraries().pango_font_description_set_family)
#define pango_font_description_set_style (::trovabild::drawingLibraries().pango_font_description_set_style)
#define pango_font_description_set_weight (::trovabild::drawingLibraries().pango_font_description_set_weight)
#define pango_layout_get_extents (::trovabild::drawingLibraries().pango_layout_get_extents)
#define pango_layout_get_pixel_extents (::trovabild::drawingLibraries().pango_layout_get_pixel_extents)
#define pango_layout_new (::trovabild::drawingLibraries().pango_layout_new)
#define pango_layout_set_attributes (::trovabild::drawingLibraries().pango_layout_set_attributes)
#define pango_layout_set_font_description (::trovabild::drawingLibraries().pango_layout_set_font_description)
#define pango_layout_set_single_paragraph_mode (::trovabild::drawingLibraries().pango_layout_set_single_paragraph_mode)
#define pango_layout_set_text (::trovabild::drawingLibraries().pango_layout_set_text)
#endif
