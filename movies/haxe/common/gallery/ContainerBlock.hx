package gallery;

import haxe.io.Bytes;

/** Where the pieces appended behind the player movie lie, as absolute positions in the file. */
typedef BlockSpan = {
	var descriptionPos:Int;
	var descriptionLength:Int;
	var dataPos:Int;
	var dataLength:Int;
}

/** An absolute span of bytes inside the movie file. */
typedef Span = {
	var pos:Int;
	var length:Int;
}

/**
	Finds the gallery appended behind the player movie: the marker "*****", a big-endian length and
	the project description, another big-endian length and the data block, ending exactly at the
	end of the file. The marker bytes can occur by chance inside the player movie or a photo, so a
	hit counts only when its two lengths lead exactly to the end.
**/
class ContainerBlock {
	static inline var STAR = 0x2A;
	static inline var MARKER = 5;

	/**
		`hint` is where the block is expected (the player movie's own length); it is tried first so
		that a large file is not scanned byte by byte. Returns null when no hit fits.
	**/
	public static function find(file:Bytes, hint:Int = -1):Null<BlockSpan> {
		if (hint >= 0) {
			var hit = tryAt(file, hint);
			if (hit != null)
				return hit;
		}
		var last = file.length - (MARKER + 8);
		var run = 0;
		var i = 0;
		while (i <= last + MARKER - 1 && i < file.length) {
			if (file.get(i) == STAR) {
				run++;
				// In a run of six or more stars, each window of five is a candidate.
				if (run >= MARKER) {
					var hit = tryAt(file, i - MARKER + 1);
					if (hit != null)
						return hit;
				}
			} else {
				run = 0;
			}
			i++;
		}
		return null;
	}

	static function tryAt(file:Bytes, at:Int):Null<BlockSpan> {
		if (at < 0 || at + MARKER + 8 > file.length)
			return null;
		for (k in 0...MARKER)
			if (file.get(at + k) != STAR)
				return null;
		var xmlLength = bigEndian32(file, at + MARKER);
		var xmlPos = at + MARKER + 4;
		// Lengths are unsigned; anything that does not fit the rest of the file is not a hit.
		if (xmlLength < 0 || xmlLength > file.length - xmlPos - 4)
			return null;
		var dataLengthPos = xmlPos + xmlLength;
		var dataLength = bigEndian32(file, dataLengthPos);
		var dataPos = dataLengthPos + 4;
		if (dataLength < 0 || dataLength != file.length - dataPos)
			return null;
		return {
			descriptionPos: xmlPos,
			descriptionLength: xmlLength,
			dataPos: dataPos,
			dataLength: dataLength
		};
	}

	/**
		A length-prefixed piece of the data block: `offset` is relative to the data block and points
		at the piece's 4-byte length, which must equal `size`. Returns the payload's absolute span,
		or null when the piece lies outside the block or its length field disagrees.
	**/
	public static function piece(file:Bytes, block:BlockSpan, offset:Float, size:Float):Null<Span> {
		if (!(offset >= 0) || !(size >= 0) || offset + 4 + size > block.dataLength)
			return null;
		var at = block.dataPos + Std.int(offset);
		if (bigEndian32(file, at) != Std.int(size))
			return null;
		return {pos: at + 4, length: Std.int(size)};
	}

	/** An unsigned value above 2^31 comes back negative: no piece of a movie file can be that long. */
	public static inline function bigEndian32(file:Bytes, at:Int):Int {
		return (file.get(at) << 24) | (file.get(at + 1) << 16) | (file.get(at + 2) << 8) | file.get(at + 3);
	}

	/** The length an uncompressed ("FWS") movie declares for itself, or -1. */
	public static function declaredMovieLength(file:Bytes):Int {
		if (file.length < 8 || file.get(0) != 0x46 || file.get(1) != 0x57 || file.get(2) != 0x53)
			return -1;
		return file.get(4) | (file.get(5) << 8) | (file.get(6) << 16) | (file.get(7) << 24);
	}
}
