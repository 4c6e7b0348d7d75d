#include "runtime/array_commands.h"

#include <cstring>

#include "numeric/fft.h"
#include "numeric/heap_sort.h"
#include "numeric/interpolation.h"
#include "numeric/linear_solvers.h"
#include "numeric/matrix_ops.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"

namespace {

// An array argument: its element type, rows and columns (a one-dimensional array is one row
// of its length for the element count, and its length as rows where a vector is meant), and
// its data.
struct ArrayArg {
    int type = 0;
    int dim1 = 0;
    int dim2 = 0;
    void* data = nullptr;
    long count() const { return static_cast<long>(dim1) * (dim2 > 0 ? dim2 : 1); }
    double* doubles() const { return type == kArgDouble ? static_cast<double*>(data) : nullptr; }
};

bool array_arg(int i, ArrayArg* a) {
    const ArgShape* s = arg_shape(i);
    const ArgCell* c = arg_cell(i);
    if (s == nullptr || c == nullptr || s->dim1 <= 0 || c->value.text == nullptr) return false;
    a->type = s->type;
    a->dim1 = s->dim1;
    a->dim2 = s->dim2;
    a->data = c->value.text;
    return true;
}

// A matrix of doubles: rows x columns (a one-dimensional array is a column).
bool matrix_arg(int i, ArrayArg* a, int* rows, int* columns) {
    if (!array_arg(i, a) || a->type != kArgDouble) return false;
    *rows = a->dim1;
    *columns = a->dim2 > 0 ? a->dim2 : 1;
    return true;
}

// A vector of doubles with at least n elements.
double* vector_arg(int i, long n) {
    ArrayArg a;
    if (!array_arg(i, &a) || a.type != kArgDouble || a.count() < n) return nullptr;
    return a.doubles();
}

class RowTable {
public:
    RowTable(double* data, int rows, int columns)
        : table_(row_table_over_block(data, static_cast<std::size_t>(rows),
                                      static_cast<std::size_t>(columns), sizeof(double))) {}
    ~RowTable() {
        if (table_ != nullptr) mem_free(table_);
    }
    RowTable(const RowTable&) = delete;
    RowTable& operator=(const RowTable&) = delete;
    double** rows() const { return reinterpret_cast<double**>(table_); }

private:
    RowMatrix table_;
};

struct SortKeys {
    ArrayArg keys;
};

int compare_keys(int a, int b, const void* context) {
    const ArrayArg& k = static_cast<const SortKeys*>(context)->keys;
    if (k.type == kArgInt) {
        const auto* v = static_cast<const std::int32_t*>(k.data);
        return v[a] < v[b] ? -1 : v[a] > v[b] ? 1 : 0;
    }
    if (k.type == kArgDouble) {
        const auto* v = static_cast<const double*>(k.data);
        return v[a] < v[b] ? -1 : v[a] > v[b] ? 1 : 0;
    }
    const auto* rows = static_cast<const unsigned char*>(k.data);
    return std::memcmp(rows + static_cast<std::size_t>(a) * k.dim2,
                       rows + static_cast<std::size_t>(b) * k.dim2,
                       static_cast<std::size_t>(k.dim2));
}

}  // namespace

int cmd_sort() {
    ArrayArg index, keys;
    if (!array_arg(0, &index) || index.type != kArgInt || !array_arg(1, &keys)) {
        set_int_result(kMsgSortArguments);
        return 0;
    }
    // Keys: ints or doubles, or the rows of a two-dimensional char array.
    const bool text_rows = keys.type == kArgChar && keys.dim2 > 0;
    if ((keys.dim2 > 0 && !text_rows) || (keys.type == kArgChar && !text_rows)) {
        set_int_result(kMsgSortArguments);
        return 0;
    }
    const int key_count = keys.dim1;
    const ArgCell* count_cell = arg_cell(2);
    int n = count_cell != nullptr && count_cell->status == kArgGiven ? arg_int(2) : 0;
    if (n == 0) n = key_count;
    if (key_count < 2 || n < 2 || n > key_count || index.count() < n) {
        set_int_result(kMsgSortArguments);
        return 0;
    }
    auto* indices = static_cast<std::int32_t*>(index.data);
    for (int k = 0; k < n; ++k) indices[k] = k;
    const SortKeys context{keys};
    heap_sort_indices(compare_keys, &context, indices, n);
    set_int_result(0);
    return 0;
}

int cmd_fft() {
    const long nx = arg_int(2), ny = arg_int(3);
    const long values = nx * ny * 2;
    const bool power_of_two = values >= 4 && values <= 16384 && (values & (values - 1)) == 0;
    double* source = power_of_two && nx > 0 && ny > 0 ? vector_arg(0, values) : nullptr;
    double* destination = source != nullptr ? vector_arg(1, values) : nullptr;
    if (destination == nullptr) return kMsgBadFftSize;
    return fft_2d(source, destination, static_cast<int>(ny), static_cast<int>(nx),
                  current_command() == kCmdIfft ? 1 : 0);
}

int cmd_matrix_solve() {
    ArrayArg a;
    int m = 0, n = 0;
    if (!matrix_arg(0, &a, &m, &n)) return kMsgArrayShapes;
    const int command = current_command();
    const long x_length = command == kCmdMatTVec ? m : n;
    const long b_length = command == kCmdMatTVec ? n : m;
    double* x = vector_arg(1, x_length);
    double* b = vector_arg(2, b_length);
    if (x == nullptr || b == nullptr) return kMsgArrayShapes;
    RowTable rows(a.doubles(), m, n);
    if (rows.rows() == nullptr) return kMsgOutOfMemory;
    switch (command) {
        case kCmdSolve: {
            if (x == b) return kMsgArrayShapes;
            // A square system that LU can factor is solved exactly; anything else (or a singular
            // square one) by the least-squares solution of the SVD.
            if (m == n) {
                const int r = lu_decompose(rows.rows(), n, 1);
                if (r == kSolverNoMemory) return kMsgOutOfMemory;
                if (r == kSolverDone) {
                    lu_solve(b, x);
                    return 0;
                }
            }
            const int r = svd_decompose(rows.rows(), m, n, 1);
            if (r != kSolverDone) return kMsgOutOfMemory;
            svd_solve(0.0, b, x);
            return 0;
        }
        case kCmdMatVec:
            if (x == b) return kMsgArrayShapes;
            mat_vec_mul(rows.rows(), x, b, m, n);
            return 0;
        case kCmdMatTVec:
            if (x == b) return kMsgArrayShapes;
            mat_t_vec_mul(rows.rows(), x, b, m, n);
            return 0;
        default:
            return 0;
    }
}

int cmd_matrix_product() {
    ArrayArg a, b, c;
    int m = 0, n = 0, bm = 0, bn = 0;
    if (!matrix_arg(0, &a, &m, &n) || !matrix_arg(1, &b, &bm, &bn)) return kMsgArrayShapes;
    if (a.data == b.data) return kMsgArrayShapes;
    RowTable ra(a.doubles(), m, n);
    RowTable rb(b.doubles(), bm, bn);
    if (ra.rows() == nullptr || rb.rows() == nullptr) return kMsgOutOfMemory;
    switch (current_command()) {
        case kCmdMatAta:
            if (bm != n || bn != n) return kMsgArrayShapes;
            mat_ata(ra.rows(), rb.rows(), m, n);
            return 0;
        case kCmdMatAat:
            if (bm != m || bn != m) return kMsgArrayShapes;
            mat_aat(ra.rows(), rb.rows(), m, n);
            return 0;
        case kCmdMatMul: {
            int cm = 0, cn = 0;
            if (!matrix_arg(2, &c, &cm, &cn) || bm != n || cm != m || cn != bn ||
                c.data == a.data || c.data == b.data) {
                return kMsgArrayShapes;
            }
            RowTable rc(c.doubles(), cm, cn);
            if (rc.rows() == nullptr) return kMsgOutOfMemory;
            mat_mul(ra.rows(), rb.rows(), rc.rows(), m, n, bn);
            return 0;
        }
        default:
            return 0;
    }
}

int cmd_interpolate() {
    const int n = arg_int(2);
    const double* x = n > 0 ? vector_arg(0, n) : nullptr;
    const double* y = n > 0 ? vector_arg(1, n) : nullptr;
    double result = 0;
    if (x == nullptr || y == nullptr || poly_interpolate(x, y, n, arg_double(3), &result) != 0) {
        return kMsgInterpolationFailed;
    }
    set_double_result(result);
    return 0;
}

int cmd_table_fit() {
    if (current_command() == kCmdFitTable) {
        const int n = arg_int(2);
        const double* x = n > 0 ? vector_arg(0, n) : nullptr;
        const double* y = n > 0 ? vector_arg(1, n) : nullptr;
        if (x == nullptr || y == nullptr) return kMsgArrayShapes;
        return table_fit_build(x, y, n);
    }
    double value = 0, derivative = 0;
    const int r = table_fit_eval(arg_double(0), &value, &derivative);
    if (r != 0) return r;
    // The value and derivative go back into the caller's variables (cells 1 and 2).
    for (int k = 1; k <= 2; ++k) {
        ArgCell* c = arg_cell(k);
        if (c == nullptr) continue;
        c->type = kArgDouble;
        c->value.d = k == 1 ? value : derivative;
    }
    return 0;
}

void install_array_commands() {
    set_handler(kSlotSort, cmd_sort);
    set_handler(kSlotFft, cmd_fft);
    set_handler(kSlotMatrixSolve, cmd_matrix_solve);
    set_handler(kSlotMatrixProduct, cmd_matrix_product);
    set_handler(kSlotInterpolate, cmd_interpolate);
    set_handler(kSlotTableFit, cmd_table_fit);
}
