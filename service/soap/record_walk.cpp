#include "soap/record_walk.h"

#include "base/sys_string.h"
#include "soap/record_access.h"
#include "soap/xsd_types.h"

#include <cstring>
#include <limits>

namespace tarvex::soap {
namespace {

const SoapMapEntry* countEntryOf(const SoapMap& owner, const SoapMapEntry& arrayEntry) {
    if (arrayEntry.sizeIsIndex < 0 || owner.entries == nullptr) {
        return nullptr;
    }
    for (std::int32_t i = 0; i <= arrayEntry.sizeIsIndex; ++i) {
        if (isTerminator(owner.entries[i])) {
            return nullptr;
        }
    }
    return &owner.entries[arrayEntry.sizeIsIndex];
}

// What a copy of a string allocates: its units, the length prefix and the terminator.
bool isStructEntry(const SoapMapEntry& entry) {
    return entry.type == XsdType::User && entry.nestedMap != nullptr &&
           entry.nestedMap->kind != SoapMapKind::Enum;
}

} // namespace

std::int64_t readArrayCount(const SoapMap& owner, const SoapMapEntry& arrayEntry,
                            const void* record) {
    const SoapMapEntry* countEntry = countEntryOf(owner, arrayEntry);
    if (countEntry == nullptr) {
        return 0;
    }
    const std::byte* member = byteAt(record, countEntry->offset);
    std::int64_t count = 0;
    switch (countEntry->type) {
    case XsdType::Integer:
    case XsdType::NonPositiveInteger:
    case XsdType::NegativeInteger:
    case XsdType::Long:
        count = loadAt<std::int64_t>(member);
        break;
    case XsdType::Int:
        count = loadAt<std::int32_t>(member);
        break;
    case XsdType::Short:
        count = loadAt<std::int16_t>(member);
        break;
    case XsdType::Byte:
        // NOLINTNEXTLINE(bugprone-signed-char-misuse): a Byte count is signed on purpose
        count = loadAt<std::int8_t>(member);
        break;
    case XsdType::NonNegativeInteger:
    case XsdType::UnsignedLong:
    case XsdType::PositiveInteger: {
        const auto value = loadAt<std::uint64_t>(member);
        count = value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                    ? 0
                    : static_cast<std::int64_t>(value);
        break;
    }
    case XsdType::UnsignedInt:
        count = loadAt<std::uint32_t>(member);
        break;
    case XsdType::UnsignedShort:
        count = loadAt<std::uint16_t>(member);
        break;
    case XsdType::UnsignedByte:
        count = loadAt<std::uint8_t>(member);
        break;
    default:
        break;
    }
    return count < 0 ? 0 : count;
}

void writeArrayCount(const SoapMap& owner, const SoapMapEntry& arrayEntry, void* record,
                     std::int64_t count) {
    const SoapMapEntry* countEntry = countEntryOf(owner, arrayEntry);
    if (countEntry == nullptr) {
        return;
    }
    std::byte* member = byteAt(record, countEntry->offset);
    switch (xsdMemorySize(countEntry->type)) {
    case 1:
        storeAt(member, static_cast<std::uint8_t>(count));
        break;
    case 2:
        storeAt(member, static_cast<std::uint16_t>(count));
        break;
    case 4:
        storeAt(member, static_cast<std::uint32_t>(count));
        break;
    case 8:
        storeAt(member, static_cast<std::uint64_t>(count));
        break;
    default:
        break;
    }
}

std::size_t itemStride(const SoapMapEntry& entry) {
    if (entry.type == XsdType::User) {
        if (entry.nestedMap == nullptr) {
            return 0;
        }
        return entry.nestedMap->kind == SoapMapKind::Enum ? sizeof(std::int32_t)
                                                          : entry.nestedMap->recordSize;
    }
    return xsdMemorySize(entry.type);
}

std::int64_t fixedItemCount(const SoapMapEntry& entry) {
    if (entry.dimensions == nullptr) {
        return 0;
    }
    std::int64_t count = 1;
    for (std::int32_t d = 1; d <= entry.dimensions[0]; ++d) {
        if (entry.dimensions[d] < 0 || __builtin_mul_overflow(count, entry.dimensions[d], &count)) {
            return 0;
        }
    }
    return count;
}

void releaseItem(const SoapMapEntry& entry, std::byte* item, MemoryManager& memory) {
    if (isStringType(entry.type)) {
        sysFreeString(loadAt<SysString>(item));
        storeAt<SysString>(item, nullptr);
    } else if (isStructEntry(entry)) {
        releaseRecord(*entry.nestedMap, item, memory, [](const SoapMapEntry&) { return true; });
    } else if (isBinaryType(entry.type)) {
        memory.release(loadAt<XsdBinary>(item).data);
        storeAt(item, XsdBinary{0, nullptr});
    }
}

void releaseMember(const SoapMap& owner, const SoapMapEntry& entry, std::byte* member,
                   MemoryManager& memory) {
    if ((entry.flags & SoapFlag::kAnyArray) == 0) {
        releaseItem(entry, member, memory);
        return;
    }
    const std::size_t stride = itemStride(entry);
    if ((entry.flags & SoapFlag::DynamicArray) != 0) {
        auto* block = static_cast<std::byte*>(loadAt<void*>(member));
        if (block == nullptr) {
            return;
        }
        std::byte* record = member - entry.offset;
        const std::int64_t count = readArrayCount(owner, entry, record);
        for (std::int64_t i = 0; i < count; ++i) {
            releaseItem(entry, block + static_cast<std::size_t>(i) * stride, memory);
        }
        memory.release(block);
        storeAt<void*>(member, nullptr);
        writeArrayCount(owner, entry, record, 0);
    } else {
        const std::int64_t count = fixedItemCount(entry);
        for (std::int64_t i = 0; i < count; ++i) {
            releaseItem(entry, member + static_cast<std::size_t>(i) * stride, memory);
        }
    }
}

HResult copyItem(const SoapMapEntry& entry, const std::byte* source, std::byte* target,
                 MemoryManager& memory, ParseBudget& budget) {
    if (isStructEntry(entry)) {
        const SoapMap& map = *entry.nestedMap;
        for (const SoapMapEntry* e = map.entries; e != nullptr && !isTerminator(*e); ++e) {
            if ((e->flags & SoapFlag::SizeOnly) != 0) {
                continue; // set by the copy of its array
            }
            if (const HResult status =
                    copyMember(map, *e, source + e->offset, target + e->offset, memory, budget);
                failed(status)) {
                return status;
            }
        }
        return kOk;
    }
    if (isStringType(entry.type)) {
        const SysString text = loadAt<SysString>(source);
        if (text != nullptr) {
            if (!budget.take(stringCost(sysStringLen(text)))) {
                return kOutOfMemory;
            }
            const SysString copy = sysAllocString(sysStringView(text));
            if (copy == nullptr) {
                return kOutOfMemory;
            }
            storeAt(target, copy);
        }
        return kOk;
    }
    if (isBinaryType(entry.type)) {
        const auto block = loadAt<XsdBinary>(source);
        if (block.data != nullptr) {
            const std::size_t size = block.size > 0 ? static_cast<std::size_t>(block.size) : 0;
            if (!budget.take(size)) {
                return kOutOfMemory;
            }
            auto* data = static_cast<std::uint8_t*>(memory.allocate(size));
            if (data == nullptr) {
                return kOutOfMemory;
            }
            if (size > 0) {
                std::memcpy(data, block.data, size);
            }
            storeAt(target, XsdBinary{block.size, data});
        }
        return kOk;
    }
    std::memcpy(target, source, itemStride(entry));
    return kOk;
}

HResult copyMember(const SoapMap& owner, const SoapMapEntry& entry, const std::byte* source,
                   std::byte* target, MemoryManager& memory, ParseBudget& budget) {
    const std::size_t stride = itemStride(entry);
    if ((entry.flags & SoapFlag::DynamicArray) != 0) {
        const auto* block = static_cast<const std::byte*>(loadAt<void*>(source));
        if (block == nullptr) {
            return kOk;
        }
        const std::int64_t count = readArrayCount(owner, entry, source - entry.offset);
        std::size_t bytes = 0;
        if (__builtin_mul_overflow(static_cast<std::uint64_t>(count), stride, &bytes) ||
            !budget.take(bytes)) {
            return kOutOfMemory;
        }
        auto* copy = static_cast<std::byte*>(memory.allocate(bytes));
        if (copy == nullptr) {
            return kOutOfMemory;
        }
        std::memset(copy, 0, bytes);
        // The block belongs to the target from here on, so a failure below leaves it releasable.
        storeAt<void*>(target, copy);
        writeArrayCount(owner, entry, target - entry.offset, count);
        for (std::int64_t i = 0; i < count; ++i) {
            const std::size_t at = static_cast<std::size_t>(i) * stride;
            if (const HResult status = copyItem(entry, block + at, copy + at, memory, budget);
                failed(status)) {
                return status;
            }
        }
        return kOk;
    }
    if ((entry.flags & SoapFlag::FixedArray) != 0) {
        const std::int64_t count = fixedItemCount(entry);
        for (std::int64_t i = 0; i < count; ++i) {
            const std::size_t at = static_cast<std::size_t>(i) * stride;
            if (const HResult status = copyItem(entry, source + at, target + at, memory, budget);
                failed(status)) {
                return status;
            }
        }
        return kOk;
    }
    return copyItem(entry, source, target, memory, budget);
}

} // namespace tarvex::soap
