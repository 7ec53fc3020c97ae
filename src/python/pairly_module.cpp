// The Python module pairly: difflib.SequenceMatcher with autojunk=False, exactly, at any
// length, from the score's own matcher. Elements are numbered as difflib's dict of the second
// sequence numbers them (equal by hash and ==): the first sequence's elements by that dict, with
// one number for all those not in it. Where both sequences are str, by code point instead.
// The methods that only read the matching blocks are difflib's own.
#include <pybind11/pybind11.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "scoring/fast_matcher.h"

namespace py = pybind11;

namespace {

// The longest sequence taken: positions and ids are 32-bit.
constexpr Py_ssize_t kLongest = scoring::kIdLimit - 1;

// The second sequence as the matcher sees it. Made once for each set_seq2 and never changed,
// so that a match running without the GIL can keep it while set_seq2 replaces it.
struct EncodedB {
  std::vector<uint32_t> ids;
  uint32_t kinds = 0;  // distinct elements: the id of an element of the first not in it
  // The ids as bytes, where they and that of an element not in b fit, as the score's codes
  // do: the matcher's faster way.
  std::vector<uint8_t> byteIds;
  bool Bytes() const { return kinds < 256; }
  // Where b is an exact str: by code point, the element's id plus one (0: not in b).
  bool text = false;
  std::vector<uint32_t> codeIds;
};

void CheckLength(Py_ssize_t length) {
  if (length > kLongest) {
    throw py::value_error("pairly: sequences of more than " + std::to_string(kLongest) +
                          " elements are not supported");
  }
}

bool IsText(const py::handle& sequence) {
  return PyUnicode_CheckExact(sequence.ptr());
}

// Numbers b's elements in the order first seen. Raises what difflib raises for an unhashable
// element or a b that is no sequence.
std::shared_ptr<const EncodedB> EncodeB(const py::object& b, py::dict& idsByElement) {
  auto encoded = std::make_shared<EncodedB>();
  if (IsText(b)) {
    const Py_ssize_t length = PyUnicode_GET_LENGTH(b.ptr());
    CheckLength(length);
    const int kind = PyUnicode_KIND(b.ptr());
    const void* data = PyUnicode_DATA(b.ptr());
    encoded->text = true;
    Py_UCS4 largest = 0;
    for (Py_ssize_t i = 0; i < length; ++i)
      largest = std::max(largest, PyUnicode_READ(kind, data, i));
    encoded->codeIds.assign(std::size_t{largest} + 1, 0);
    encoded->ids.resize(static_cast<std::size_t>(length));
    for (Py_ssize_t i = 0; i < length; ++i) {
      uint32_t& id = encoded->codeIds[PyUnicode_READ(kind, data, i)];
      if (id == 0) id = ++encoded->kinds;
      encoded->ids[static_cast<std::size_t>(i)] = id - 1;
    }
    if (encoded->Bytes()) encoded->byteIds.assign(encoded->ids.begin(), encoded->ids.end());
    return encoded;
  }
  for (const py::handle element : b) {
    py::int_ next(encoded->kinds);
    PyObject* id = PyDict_SetDefault(idsByElement.ptr(), element.ptr(), next.ptr());
    if (!id) throw py::error_already_set();
    if (id == next.ptr()) ++encoded->kinds;
    encoded->ids.push_back(static_cast<uint32_t>(PyLong_AsUnsignedLong(id)));
    CheckLength(static_cast<Py_ssize_t>(encoded->ids.size()));
  }
  if (encoded->Bytes()) encoded->byteIds.assign(encoded->ids.begin(), encoded->ids.end());
  return encoded;
}

// b's ids as the matcher takes them with a's as Id.
template <typename Id>
std::span<const Id> IdsOf(const EncodedB& b) {
  if constexpr (sizeof(Id) == 1) {
    return b.byteIds;
  } else {
    return b.ids;
  }
}

// run(Id{}) with the ids' type: bytes where b's ids fit in them, else 32 bits.
template <typename Run>
auto ByIdWidth(const EncodedB& b, Run run) {
  return b.Bytes() ? run(uint8_t{}) : run(uint32_t{});
}

class SequenceMatcher {
 public:
  SequenceMatcher(const py::object& isjunk, const py::object& a, const py::object& b,
                  const py::object& autojunk)
      : isjunk_(isjunk), autojunk_(autojunk) {
    if (!isjunk.is_none()) {
      throw py::value_error(
          "pairly.SequenceMatcher is the exact matcher: it takes no junk function "
          "(isjunk must be None)");
    }
    if (py::bool_(autojunk)) {
      throw py::value_error(
          "pairly.SequenceMatcher is the exact matcher: it has no autojunk heuristic "
          "(autojunk must be False)");
    }
    SetSeqs(a, b);
  }

  void SetSeqs(const py::object& a, const py::object& b) {
    SetSeq1(a);
    SetSeq2(b);
  }

  void SetSeq1(const py::object& a) {
    if (a.is(a_)) return;
    a_ = a;
    Forget();
  }

  void SetSeq2(const py::object& b) {
    if (b.is(b_)) return;
    py::dict idsByElement;
    encoded_ = EncodeB(b, idsByElement);
    idsByElement_ = encoded_->text ? py::object(py::none()) : py::object(idsByElement);
    b_ = b;
    Forget();
    fullbcount = py::none();
    bjunk = py::set();
    bpopular = py::set();
  }

  py::object FindLongestMatch(const py::object& alo, const py::object& ahi, const py::object& blo,
                              const py::object& bhi) {
    const std::shared_ptr<const EncodedB> b = Encoded();
    const Py_ssize_t lengthA = py::len(a_);
    const auto lengthB = static_cast<Py_ssize_t>(b->ids.size());
    const Py_ssize_t lo1 = Index(alo), hi1 = ahi.is_none() ? lengthA : Index(ahi);
    const Py_ssize_t lo2 = Index(blo), hi2 = bhi.is_none() ? lengthB : Index(bhi);
    // difflib reads past the end (IndexError) or wraps round a negative bound and gives a
    // block outside the range: refused alike.
    if (std::min({lo1, hi1, lo2, hi2}) < 0 || hi1 > lengthA || hi2 > lengthB) {
      throw py::index_error("find_longest_match: the range a[" + std::to_string(lo1) + ":" +
                            std::to_string(hi1) + "], b[" + std::to_string(lo2) + ":" +
                            std::to_string(hi2) + "] is not within a[0:" + std::to_string(lengthA) +
                            "], b[0:" + std::to_string(lengthB) + "]");
    }
    scoring::MatchBlock block;
    if (lo1 < hi1) {
      block = ByIdWidth(*b, [&](auto width) {
        using Id = decltype(width);
        // Hashed even where the range of b is empty, as difflib hashes them.
        const std::vector<Id> ids = EncodeA<Id>(*b, lo1, hi1);
        if (lo2 >= hi2) return scoring::MatchBlock{};
        py::gil_scoped_release released;
        return scoring::FastLongestBlock(std::span<const Id>(ids), IdsOf<Id>(*b), 1,
                                         static_cast<int32_t>(ids.size()),
                                         static_cast<int32_t>(lo2) + 1, static_cast<int32_t>(hi2));
      });
    }
    if (block.length == 0) return MatchType()(lo1, lo2, 0);
    return MatchType()(lo1 + block.start1, block.start2, block.length);
  }

  py::object GetMatchingBlocks() {
    if (!matching_blocks.is_none()) return matching_blocks;
    const uint64_t generation = generation_;
    const std::shared_ptr<const EncodedB> b = Encoded();
    const Py_ssize_t lengthA = py::len(a_);
    const auto lengthB = static_cast<Py_ssize_t>(b->ids.size());
    const std::vector<scoring::MatchBlock> blocks = ByIdWidth(*b, [&](auto width) {
      using Id = decltype(width);
      const std::vector<Id> ids = EncodeA<Id>(*b, 0, lengthA);
      py::gil_scoped_release released;
      return scoring::FastMatchBlocks(std::span<const Id>(ids), IdsOf<Id>(*b), 1,
                                      static_cast<int32_t>(ids.size()), 1,
                                      static_cast<int32_t>(lengthB));
    });
    // difflib joins blocks that touch; the exact matcher's never do, but the rule is kept.
    const py::object match = MatchType();
    py::list list;
    scoring::MatchBlock pending;
    for (const scoring::MatchBlock& block : blocks) {
      if (pending.length > 0 && pending.start1 + pending.length == block.start1 &&
          pending.start2 + pending.length == block.start2) {
        pending.length += block.length;
        continue;
      }
      if (pending.length > 0) list.append(match(pending.start1, pending.start2, pending.length));
      pending = block;
    }
    if (pending.length > 0) list.append(match(pending.start1, pending.start2, pending.length));
    list.append(match(lengthA, lengthB, 0));
    // Kept only if neither sequence changed meanwhile (from another thread, while the GIL was
    // free).
    if (generation == generation_) matching_blocks = list;
    return list;
  }

  const py::object& A() const { return a_; }
  const py::object& B() const { return b_; }
  const py::object& IsJunk() const { return isjunk_; }
  const py::object& AutoJunk() const { return autojunk_; }

  // difflib's attributes, read and written by its methods borrowed here.
  py::object matching_blocks = py::none();
  py::object opcodes = py::none();
  py::object fullbcount = py::none();
  py::object bjunk = py::set();
  py::object bpopular = py::set();

 private:
  static py::object MatchType() { return py::module_::import("difflib").attr("Match"); }

  static Py_ssize_t Index(const py::object& bound) {
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(bound.ptr()));
    if (!index) throw py::error_already_set();
    const Py_ssize_t value = PyLong_AsSsize_t(index.ptr());
    if (value == -1 && PyErr_Occurred()) throw py::error_already_set();
    return value;
  }

  // b as numbers; for a b never set (None, as difflib's starts), what difflib raises for it.
  std::shared_ptr<const EncodedB> Encoded() const {
    if (!encoded_) {
      py::len(a_);
      py::len(b_);
    }
    return encoded_;
  }

  void Forget() {
    matching_blocks = py::none();
    opcodes = py::none();
    ++generation_;
  }

  // The ids of a[lo:hi], by b's numbering, as Id (wide enough for b.kinds).
  template <typename Id>
  std::vector<Id> EncodeA(const EncodedB& b, Py_ssize_t lo, Py_ssize_t hi) {
    CheckLength(hi - lo);
    std::vector<Id> ids(static_cast<std::size_t>(hi - lo));
    if (b.text && IsText(a_)) {
      // A loop for each width of the str's characters, not a test of it at each one.
      const auto encode = [&](const auto* codes) {
        for (Py_ssize_t i = lo; i < hi; ++i) {
          const Py_UCS4 code = codes[i];
          const uint32_t id = code < b.codeIds.size() ? b.codeIds[code] : 0;
          ids[static_cast<std::size_t>(i - lo)] = static_cast<Id>(id == 0 ? b.kinds : id - 1);
        }
      };
      switch (PyUnicode_KIND(a_.ptr())) {
        case PyUnicode_1BYTE_KIND: {
          // Through a table of all 256 characters.
          std::array<Id, 256> idOf;
          for (uint32_t code = 0; code < idOf.size(); ++code) {
            const uint32_t id = code < b.codeIds.size() ? b.codeIds[code] : 0;
            idOf[code] = static_cast<Id>(id == 0 ? b.kinds : id - 1);
          }
          const Py_UCS1* const codes = PyUnicode_1BYTE_DATA(a_.ptr());
          for (Py_ssize_t i = lo; i < hi; ++i)
            ids[static_cast<std::size_t>(i - lo)] = idOf[codes[i]];
          break;
        }
        case PyUnicode_2BYTE_KIND:
          encode(PyUnicode_2BYTE_DATA(a_.ptr()));
          break;
        default:
          encode(PyUnicode_4BYTE_DATA(a_.ptr()));
          break;
      }
      return ids;
    }
    const py::dict& idsByElement = IdsByElement(b);
    const py::object elements = py::reinterpret_steal<py::object>(
        PySequence_Fast(a_.ptr(), "pairly: the first sequence is not a sequence"));
    if (!elements) throw py::error_already_set();
    PyObject** items = PySequence_Fast_ITEMS(elements.ptr());
    if (hi > PySequence_Fast_GET_SIZE(elements.ptr())) {
      throw py::index_error("pairly: the first sequence is shorter than its len()");
    }
    for (Py_ssize_t i = lo; i < hi; ++i) {
      PyObject* id = PyDict_GetItemWithError(idsByElement.ptr(), items[i]);
      if (!id && PyErr_Occurred()) throw py::error_already_set();
      ids[static_cast<std::size_t>(i - lo)] =
          static_cast<Id>(id ? PyLong_AsUnsignedLong(id) : b.kinds);
    }
    return ids;
  }

  // b's elements and their ids, for an a that is not a str; made here for a str b.
  const py::dict& IdsByElement(const EncodedB& b) {
    if (idsByElement_.is_none()) {
      py::dict made;
      for (std::size_t code = 0; code < b.codeIds.size(); ++code) {
        if (b.codeIds[code] != 0) {
          made[py::reinterpret_steal<py::object>(PyUnicode_FromOrdinal(static_cast<int>(code)))] =
              b.codeIds[code] - 1;
        }
      }
      idsByElement_ = made;
    }
    return static_cast<const py::dict&>(idsByElement_);
  }

  py::object isjunk_;
  py::object autojunk_;
  py::object a_ = py::none();
  py::object b_ = py::none();
  std::shared_ptr<const EncodedB> encoded_;
  py::object idsByElement_ = py::none();
  uint64_t generation_ = 0;
};

}  // namespace

PYBIND11_MODULE(pairly, module) {
  module.doc() =
      "difflib.SequenceMatcher's results with autojunk=False, exactly, at any length: the "
      "matcher of PAIRLY Calc's score.";
  py::class_<SequenceMatcher> matcher(module, "SequenceMatcher", R"(
SequenceMatcher(isjunk=None, a='', b='', autojunk=False)

What difflib.SequenceMatcher(None, a, b, autojunk=False) gives, in near-linear time.
Elements compare as difflib compares them, by hash and ==. The exact matcher takes no junk
function and no autojunk heuristic: isjunk other than None, or a true autojunk, raise
ValueError.)");
  matcher
      .def(py::init<py::object, py::object, py::object, py::object>(),
           py::arg("isjunk") = py::none(), py::arg("a") = "", py::arg("b") = "",
           py::arg("autojunk") = false)
      .def("set_seqs", &SequenceMatcher::SetSeqs, py::arg("a"), py::arg("b"))
      .def("set_seq1", &SequenceMatcher::SetSeq1, py::arg("a"))
      .def("set_seq2", &SequenceMatcher::SetSeq2, py::arg("b"))
      .def("find_longest_match", &SequenceMatcher::FindLongestMatch, py::arg("alo") = 0,
           py::arg("ahi") = py::none(), py::arg("blo") = 0, py::arg("bhi") = py::none())
      .def("get_matching_blocks", &SequenceMatcher::GetMatchingBlocks)
      .def_property_readonly("a", &SequenceMatcher::A)
      .def_property_readonly("b", &SequenceMatcher::B)
      .def_property_readonly("isjunk", &SequenceMatcher::IsJunk)
      .def_property_readonly("autojunk", &SequenceMatcher::AutoJunk)
      .def_readwrite("matching_blocks", &SequenceMatcher::matching_blocks)
      .def_readwrite("opcodes", &SequenceMatcher::opcodes)
      .def_readwrite("fullbcount", &SequenceMatcher::fullbcount)
      .def_readonly("bjunk", &SequenceMatcher::bjunk)
      .def_readonly("bpopular", &SequenceMatcher::bpopular);
  // What only reads the blocks, the sequences and these attributes is difflib's own code.
  const py::object difflib = py::module_::import("difflib").attr("SequenceMatcher");
  for (const char* name :
       {"get_opcodes", "get_grouped_opcodes", "ratio", "quick_ratio", "real_quick_ratio"}) {
    matcher.attr(name) = difflib.attr(name);
  }
}
