// `Collection` prelude: run once at start-up with the root table as `this`;
// the native side only created the empty `Collection` table. It adds copying
// and filtering of arrays and tables. Functions of the table find its other
// slots through `this`, so they are meant to be called through the table
// (`Collection.select(a, f)`); every slot may be replaced.

// Makes dst hold what src holds (both arrays or both tables) and returns dst.
// Copying a collection onto itself leaves it as it is.
function Collection::copy(dst, src)
{
    local type = typeof dst;
    if (type != typeof src || (type != "array" && type != "table")) throw "type miss match";
    if (dst == src) return dst;
    if (type == "array") {
        local n = src.len();
        dst.resize(n);
        for (local i = 0; i < n; i++) dst[i] = src[i];
    } else {
        dst.clear();
        foreach (key, value in src) dst[key] <- value;
    }
    return dst;
}

// A new array or table of the elements for which filter(key, value) is
// `keep` (an array's key is the index; array results are renumbered).
function Collection::filtered__(collection, filter, keep)
{
    switch (typeof collection) {
    case "array": {
        local out = [];
        foreach (i, value in collection) {
            if ((filter(i, value) ? true : false) == keep) out.push(value);
        }
        return out;
    }
    case "table": {
        local out = {};
        foreach (key, value in collection) {
            if ((filter(key, value) ? true : false) == keep) out[key] <- value;
        }
        return out;
    }
    }
    throw "type miss match";
}

function Collection::removed(collection, filter)
{
    return this.filtered__(collection, filter, false);
}

function Collection::selected(collection, filter)
{
    return this.filtered__(collection, filter, true);
}

// In place: drops the elements for which filter(key, value) is true.
function Collection::remove(collection, filter)
{
    return this.copy(collection, this.removed(collection, filter));
}

// In place: keeps only the elements for which filter(key, value) is true.
function Collection::select(collection, filter)
{
    return this.copy(collection, this.selected(collection, filter));
}
