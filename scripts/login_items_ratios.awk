#!/usr/bin/awk -f
# Reads loginitems_bench's CSV output and prints each operation's wall time
# as a multiple of its floor: a count after a change beside a raw parse of
# the file, Add and Remove beside a raw durable write of the same bytes.
# With repetitions, the medians are compared.
BEGIN { FS = "," }
/^name,/ { in_rows = 1; next }
in_rows && $1 ~ /^"BM_[A-Za-z]+\/[0-9]+(_median)?"$/ {
    gsub(/"|_median/, "", $1)
    split($1, parts, "/")
    time[parts[1], parts[2]] = $3
    sizes[parts[2]] = 1
}
function ratio(what, floor, n) {
    if (!((what, n) in time) || !((floor, n) in time) || time[floor, n] == 0) return "-"
    return sprintf("%.2fx", time[what, n] / time[floor, n])
}
END {
    printf "%-10s %-28s %-22s %-22s\n", "list of", "count after a change / parse", "Add / durable write", "Remove / durable write"
    count = 0
    for (n in sizes) order[++count] = n + 0
    for (i = 1; i <= count; i++)
        for (j = i + 1; j <= count; j++)
            if (order[j] < order[i]) { t = order[i]; order[i] = order[j]; order[j] = t }
    for (i = 1; i <= count; i++) {
        n = order[i]
        printf "%-10s %-28s %-22s %-22s\n", n, ratio("BM_GetCountOfLoginItemsAfterChange", "BM_RawParseOfList", n),
            ratio("BM_AddLoginItemWithPropertiesToUser", "BM_RawDurableWriteOfList", n),
            ratio("BM_RemoveLoginItemAtIndex", "BM_RawDurableWriteOfList", n)
    }
}
