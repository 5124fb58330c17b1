// Lossless rotation and flipping: whole 8x8 blocks are moved and their coefficients
// transposed or negated, so nothing is decoded and nothing is lost.
//
// Blocks that do not lie in whole iMCUs at the edges the transform mirrors cannot move to the
// mirrored place (the opposite edge would then hold a partial iMCU); they stay where they are,
// only transposed or flipped in place, unless trimming cuts them off.
#include <cstring>
#include <memory>

#include "codecs/file_io.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/jpeg/jpeg_library.h"

namespace {

// Everything one transform hands the library; plain data only (see jpeg_library.h).
struct TransformJob {
    jpeg_decompress_struct source;
    jpeg_compress_struct output;
    JpegErrorManager errors;
    JpegMemorySource source_manager;
    JpegFileDestination destination;
    jvirt_barray_ptr workspace[MAX_COMPONENTS];
    JDIMENSION workspace_rows[MAX_COMPONENTS];
    JDIMENSION workspace_columns[MAX_COMPONENTS];
    bool has_workspace;
};

JDIMENSION round_up(JDIMENSION value, int multiple) {
    const JDIMENSION m = static_cast<JDIMENSION>(multiple);
    return (value + m - 1) / m * m;
}

bool mirrors_rows(int32_t code) {
    return code == kJpegFlipVertical || code == kJpegRotate180;
}
bool transposes(int32_t code) {
    return code == kJpegRotate90 || code == kJpegRotate270;
}

void jpeg_transform_request_workspace(JpegTransformContext* context, TransformJob* job) {
    jpeg_decompress_struct* src = &job->source;
    context->state.output_components =
        (context->state.force_grey && src->jpeg_color_space == JCS_YCbCr && src->num_components == 3)
            ? 1
            : src->num_components;
    job->has_workspace =
        mirrors_rows(context->state.transform_code) || transposes(context->state.transform_code);
    if (!job->has_workspace) return;
    for (int ci = 0; ci < context->state.output_components; ++ci) {
        const jpeg_component_info& comp = src->comp_info[ci];
        const JDIMENSION h = static_cast<JDIMENSION>(comp.h_samp_factor);
        const JDIMENSION v = static_cast<JDIMENSION>(comp.v_samp_factor);
        const JDIMENSION wide = round_up(comp.width_in_blocks, comp.h_samp_factor);
        const JDIMENSION high = round_up(comp.height_in_blocks, comp.v_samp_factor);
        JDIMENSION columns = wide;
        JDIMENSION rows = high;
        JDIMENSION access = v;
        if (transposes(context->state.transform_code)) {
            columns = high;
            rows = wide;
            access = h;
        }
        job->workspace_columns[ci] = columns;
        job->workspace_rows[ci] = rows;
        job->workspace[ci] = (*src->mem->request_virt_barray)(reinterpret_cast<j_common_ptr>(src),
                                                              JPOOL_IMAGE, FALSE, columns, rows, access);
    }
}

int max_h_samp(const jpeg_compress_struct* out) {
    int m = 1;
    for (int ci = 0; ci < out->num_components; ++ci)
        if (out->comp_info[ci].h_samp_factor > m) m = out->comp_info[ci].h_samp_factor;
    return m;
}

int max_v_samp(const jpeg_compress_struct* out) {
    int m = 1;
    for (int ci = 0; ci < out->num_components; ++ci)
        if (out->comp_info[ci].v_samp_factor > m) m = out->comp_info[ci].v_samp_factor;
    return m;
}

void jpeg_transform_transpose_parameters(jpeg_compress_struct* out) {
    const JDIMENSION width = out->image_width;
    out->image_width = out->image_height;
    out->image_height = width;
    for (int ci = 0; ci < out->num_components; ++ci) {
        jpeg_component_info& comp = out->comp_info[ci];
        const int h = comp.h_samp_factor;
        comp.h_samp_factor = comp.v_samp_factor;
        comp.v_samp_factor = h;
    }
    for (int t = 0; t < NUM_QUANT_TBLS; ++t) {
        JQUANT_TBL* table = out->quant_tbl_ptrs[t];
        if (!table) continue;
        for (int r = 0; r < DCTSIZE; ++r)
            for (int c = r + 1; c < DCTSIZE; ++c) {
                const UINT16 a = table->quantval[r * DCTSIZE + c];
                table->quantval[r * DCTSIZE + c] = table->quantval[c * DCTSIZE + r];
                table->quantval[c * DCTSIZE + r] = a;
            }
    }
}

void jpeg_transform_trim_right(jpeg_compress_struct* out) {
    const JDIMENSION imcu = static_cast<JDIMENSION>(max_h_samp(out) * DCTSIZE);
    const JDIMENSION columns = out->image_width / imcu;
    if (columns >= 1) out->image_width = columns * imcu;
}

void jpeg_transform_trim_bottom(jpeg_compress_struct* out) {
    const JDIMENSION imcu = static_cast<JDIMENSION>(max_v_samp(out) * DCTSIZE);
    const JDIMENSION rows = out->image_height / imcu;
    if (rows >= 1) out->image_height = rows * imcu;
}

jvirt_barray_ptr* jpeg_transform_adjust_parameters(JpegTransformContext* context, TransformJob* job,
                                                   jvirt_barray_ptr* source_arrays) {
    jpeg_compress_struct* out = &job->output;
    if (context->state.force_grey) {
        if ((out->jpeg_color_space == JCS_YCbCr && out->num_components == 3) ||
            (out->jpeg_color_space == JCS_GRAYSCALE && out->num_components == 1)) {
            // Luminance keeps the table it was quantised with.
            const int table = out->comp_info[0].quant_tbl_no;
            jpeg_set_colorspace(out, JCS_GRAYSCALE);
            out->comp_info[0].quant_tbl_no = table;
        } else {
            ERREXIT(out, JERR_CONVERSION_NOTIMPL);
        }
    }
    const bool trim = context->state.trim != 0;
    switch (context->state.transform_code) {
        case kJpegRotate90:
            jpeg_transform_transpose_parameters(out);
            if (trim) jpeg_transform_trim_right(out);
            break;
        case kJpegRotate270:
            jpeg_transform_transpose_parameters(out);
            if (trim) jpeg_transform_trim_bottom(out);
            break;
        case kJpegRotate180:
            if (trim) {
                jpeg_transform_trim_right(out);
                jpeg_transform_trim_bottom(out);
            }
            break;
        case kJpegFlipHorizontal:
            if (trim) jpeg_transform_trim_right(out);
            break;
        case kJpegFlipVertical:
            if (trim) jpeg_transform_trim_bottom(out);
            break;
        default: break;
    }
    return job->has_workspace ? job->workspace : source_arrays;
}

void jpeg_transform_copy_markers(const JpegTransformContext* context, TransformJob* job) {
    if (context->state.marker_copy != kJpegCopyComments && context->state.marker_copy != kJpegCopyAll) return;
    jpeg_compress_struct* out = &job->output;
    for (jpeg_saved_marker_ptr m = job->source.marker_list; m; m = m->next) {
        // The output writes its own JFIF and Adobe headers; copies would duplicate them.
        if (out->write_JFIF_header && m->marker == JPEG_APP0 && m->data_length >= 5 &&
            std::memcmp(m->data, "JFIF", 5) == 0)
            continue;
        if (out->write_Adobe_marker && m->marker == JPEG_APP0 + 14 && m->data_length >= 5 &&
            std::memcmp(m->data, "Adobe", 5) == 0)
            continue;
        jpeg_write_marker(out, m->marker, m->data, m->data_length);
    }
}

// Block access, one block row at a time; output rows are written in order from the top, as
// the library's virtual arrays require.
JBLOCKROW block_row(TransformJob* job, jvirt_barray_ptr array, JDIMENSION row, bool writable) {
    j_common_ptr common = reinterpret_cast<j_common_ptr>(&job->source);
    return (*job->source.mem->access_virt_barray)(common, array, row, 1, writable ? TRUE : FALSE)[0];
}

void copy_block(JCOEFPTR out, const JCOEF* in, bool negate_odd_rows, bool negate_odd_columns) {
    for (int i = 0; i < DCTSIZE; ++i)
        for (int j = 0; j < DCTSIZE; ++j) {
            const bool negate = ((i & 1) && negate_odd_rows) != ((j & 1) && negate_odd_columns);
            const JCOEF v = in[i * DCTSIZE + j];
            out[i * DCTSIZE + j] = static_cast<JCOEF>(negate ? -v : v);
        }
}

// out(j, i) = in(i, j), negating odd source rows or columns as asked.
void transpose_block(JCOEFPTR out, const JCOEF* in, bool negate_odd_rows, bool negate_odd_columns) {
    for (int i = 0; i < DCTSIZE; ++i)
        for (int j = 0; j < DCTSIZE; ++j) {
            const bool negate = ((i & 1) && negate_odd_rows) || ((j & 1) && negate_odd_columns);
            const JCOEF v = in[i * DCTSIZE + j];
            out[j * DCTSIZE + i] = static_cast<JCOEF>(negate ? -v : v);
        }
}

// The geometry of one output component: its blocks in whole iMCUs, and the extent of the
// arrays to fill.
struct ComponentPlan {
    jvirt_barray_ptr source;
    jvirt_barray_ptr output;
    JDIMENSION comp_width;
    JDIMENSION comp_height;
    JDIMENSION rows;
    JDIMENSION columns;
};

void jpeg_transform_flip_h(TransformJob* job, const ComponentPlan& p) {
    for (JDIMENSION r = 0; r < p.rows; ++r) {
        JBLOCKROW row = block_row(job, p.source, r, true);
        for (JDIMENSION c = 0; c * 2 < p.comp_width; ++c) {
            JCOEF* a = row[c];
            JCOEF* b = row[p.comp_width - 1 - c];
            if (a == b) {
                for (int k = 1; k < DCTSIZE2; k += 2) a[k] = static_cast<JCOEF>(-a[k]);
                continue;
            }
            for (int k = 0; k < DCTSIZE2; ++k) {
                const JCOEF t = a[k];
                const bool odd = (k & 1) != 0;
                a[k] = static_cast<JCOEF>(odd ? -b[k] : b[k]);
                b[k] = static_cast<JCOEF>(odd ? -t : t);
            }
        }
    }
}

void jpeg_transform_flip_v(TransformJob* job, const ComponentPlan& p) {
    for (JDIMENSION r = 0; r < p.rows; ++r) {
        JBLOCKROW dst = block_row(job, p.output, r, true);
        const bool inside = r < p.comp_height;
        JBLOCKROW in = block_row(job, p.source, inside ? p.comp_height - 1 - r : r, false);
        for (JDIMENSION c = 0; c < p.columns; ++c) copy_block(dst[c], in[c], inside, false);
    }
}

void jpeg_transform_rot_90(TransformJob* job, const ComponentPlan& p) {
    for (JDIMENSION r = 0; r < p.rows; ++r) {
        JBLOCKROW dst = block_row(job, p.output, r, true);
        for (JDIMENSION c = 0; c < p.columns; ++c) {
            const bool inside = c < p.comp_width;
            JBLOCKROW in = block_row(job, p.source, inside ? p.comp_width - 1 - c : c, false);
            transpose_block(dst[c], in[r], inside, false);
        }
    }
}

void jpeg_transform_rot_180(TransformJob* job, const ComponentPlan& p) {
    for (JDIMENSION r = 0; r < p.rows; ++r) {
        JBLOCKROW dst = block_row(job, p.output, r, true);
        const bool row_inside = r < p.comp_height;
        JBLOCKROW in = block_row(job, p.source, row_inside ? p.comp_height - 1 - r : r, false);
        for (JDIMENSION c = 0; c < p.columns; ++c) {
            const bool column_inside = c < p.comp_width;
            copy_block(dst[c], in[column_inside ? p.comp_width - 1 - c : c], row_inside, column_inside);
        }
    }
}

void jpeg_transform_rot_270(TransformJob* job, const ComponentPlan& p) {
    for (JDIMENSION r = 0; r < p.rows; ++r) {
        JBLOCKROW dst = block_row(job, p.output, r, true);
        const bool inside = r < p.comp_height;
        for (JDIMENSION c = 0; c < p.columns; ++c) {
            JBLOCKROW in = block_row(job, p.source, c, false);
            transpose_block(dst[c], in[inside ? p.comp_height - 1 - r : r], false, inside);
        }
    }
}

void jpeg_transform_execute(const JpegTransformContext* context, TransformJob* job,
                            jvirt_barray_ptr* source_arrays, jvirt_barray_ptr* output_arrays) {
    jpeg_compress_struct* o = &job->output;
    const JDIMENSION imcu_columns = o->image_width / static_cast<JDIMENSION>(max_h_samp(o) * DCTSIZE);
    const JDIMENSION imcu_rows = o->image_height / static_cast<JDIMENSION>(max_v_samp(o) * DCTSIZE);
    for (int ci = 0; ci < o->num_components; ++ci) {
        const jpeg_component_info& comp = o->comp_info[ci];
        ComponentPlan p;
        p.source = source_arrays[ci];
        p.output = output_arrays[ci];
        p.comp_width = imcu_columns * static_cast<JDIMENSION>(comp.h_samp_factor);
        p.comp_height = imcu_rows * static_cast<JDIMENSION>(comp.v_samp_factor);
        if (job->has_workspace) {
            p.rows = job->workspace_rows[ci];
            p.columns = job->workspace_columns[ci];
        } else {
            const jpeg_component_info& s = job->source.comp_info[ci];
            p.rows = round_up(s.height_in_blocks, s.v_samp_factor);
            p.columns = round_up(s.width_in_blocks, s.h_samp_factor);
        }
        switch (context->state.transform_code) {
            case kJpegFlipHorizontal: jpeg_transform_flip_h(job, p); break;
            case kJpegFlipVertical: jpeg_transform_flip_v(job, p); break;
            case kJpegRotate90: jpeg_transform_rot_90(job, p); break;
            case kJpegRotate180: jpeg_transform_rot_180(job, p); break;
            case kJpegRotate270: jpeg_transform_rot_270(job, p); break;
            default: break;  // the coefficients are written back as they are
        }
    }
}

// The library part of the transform. Holds nothing with a destructor (see jpeg_library.h).
bool transform_with_library(JpegTransformContext* context, TransformJob* job, const uint8_t* data,
                            size_t size) {
    std::memset(job, 0, sizeof *job);
    job->source.err = jpeg_install_error_manager(&job->errors);
    job->output.err = &job->errors.pub;
    if (setjmp(job->errors.recovery)) {
        jpeg_destroy_compress(&job->output);
        jpeg_destroy_decompress(&job->source);
        return false;
    }
    jpeg_create_decompress(&job->source);
    jpeg_create_compress(&job->output);
    job->source.mem->max_memory_to_use = job->output.mem->max_memory_to_use;
    jpeg_use_memory_source(&job->source, &job->source_manager, data, size);
    if (context->state.marker_copy == kJpegCopyAll) {
        for (int i = 0; i < 16; ++i) jpeg_save_markers(&job->source, JPEG_APP0 + i, 0xFFFF);
        jpeg_save_markers(&job->source, JPEG_COM, 0xFFFF);
    } else if (context->state.marker_copy == kJpegCopyComments) {
        jpeg_save_markers(&job->source, JPEG_COM, 0xFFFF);
    }
    jpeg_read_header(&job->source, TRUE);
    jpeg_transform_request_workspace(context, job);
    jvirt_barray_ptr* source_arrays = jpeg_read_coefficients(&job->source);
    jpeg_copy_critical_parameters(&job->source, &job->output);
    jvirt_barray_ptr* arrays = jpeg_transform_adjust_parameters(context, job, source_arrays);
    job->output.optimize_coding = TRUE;
    if (context->state.progressive) jpeg_simple_progression(&job->output);
    jpeg_use_file_destination(&job->output, &job->destination, context);
    jpeg_write_coefficients(&job->output, arrays);
    jpeg_transform_copy_markers(context, job);
    jpeg_transform_execute(context, job, source_arrays, arrays);
    jpeg_finish_compress(&job->output);
    jpeg_finish_decompress(&job->source);
    context->state.output_width = static_cast<int32_t>(job->output.image_width);
    context->state.output_height = static_cast<int32_t>(job->output.image_height);
    jpeg_destroy_compress(&job->output);
    jpeg_destroy_decompress(&job->source);
    return true;
}

void close_output(JpegTransformContext* context) {
    context->output_file.close();
}

}  // namespace

void jpeg_set_transform(JpegTransformContext* context, int32_t kind, uint8_t trim, int32_t marker_copy,
                        uint8_t progressive, uint8_t force_grey) {
    switch (kind) {
        case 1: context->state.transform_code = kJpegRotate90; break;
        case 2: context->state.transform_code = kJpegRotate180; break;
        case 3: context->state.transform_code = kJpegRotate270; break;
        case 4: context->state.transform_code = kJpegFlipHorizontal; break;
        case 5: context->state.transform_code = kJpegFlipVertical; break;
        default: context->state.transform_code = kJpegTransformNone; break;
    }
    context->state.trim = trim;
    context->state.marker_copy = marker_copy;
    context->state.progressive = progressive;
    context->state.force_grey = force_grey;
}

void jpeg_transform_reset(JpegTransformContext* context) {
    reset_codec_handles(context);
    context->in_memory = 0;
    context->state = {};
    clear_jpeg_error_text();
}

void jpeg_transform_release(JpegTransformContext* context) {
    close_codec_files(context);
}

bool jpeg_transform_file(JpegTransformContext* context, const std::u16string& source,
                         const std::u16string& destination) {
    context->state.output_width = 0;
    context->state.output_height = 0;
    const MappedRead file(source, context);
    if (file.size() == 0) return false;
    close_output(context);
    context->output_failed = false;
    if (!context->output_file.create(destination)) {
        set_codec_error(context, kCodecCreateFailed);
        return false;
    }
    // About 1.5 KB of library state: kept off the stack of the calling window thread.
    std::unique_ptr<TransformJob> job(new TransformJob);
    bool ok = transform_with_library(context, job.get(), file.data(), file.size());
    job.reset();
    if (ok && (context->output_failed || !file_flush(context->output_file.get()))) {
        set_codec_error(context, kCodecSaveFailed);
        ok = false;
    }
    close_output(context);
    if (!ok) {
        context->state.output_width = 0;
        context->state.output_height = 0;
    }
    return ok;
}
