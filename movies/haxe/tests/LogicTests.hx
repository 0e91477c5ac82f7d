import gallery.ContainerBlock;
import gallery.Links;
import gallery.ProjectDescription;
import haxe.io.Bytes;
import haxe.io.BytesBuffer;

/** The player movie's pure logic, run on Haxe's interpreter: no SWF player is needed. */
class LogicTests {
	static var passed = 0;
	static var failed = 0;
	static var current = "";

	static function main() {
		run("block is found at the player movie's length", blockAtHint);
		run("block is found by scanning past false markers", blockByScanning);
		run("marker inside a longer run of stars", markerInsideRun);
		run("files without a fitting block", noBlock);
		run("pieces of the data block", pieces);
		run("description of a published project", publishedDescription);
		run("description read leniently", lenientDescription);
		run("description that is not a project", notAProject);
		run("what a link may open", links);
		Sys.println('$passed passed, $failed failed');
		Sys.exit(failed == 0 ? 0 : 1);
	}

	static function run(name:String, test:Void->Void) {
		current = name;
		var before = failed;
		try {
			test();
		} catch (e:Dynamic) {
			fail("threw " + Std.string(e));
		}
		if (failed == before) {
			passed++;
			Sys.println('ok   $name');
		}
	}

	static function fail(what:String, ?pos:haxe.PosInfos) {
		failed++;
		Sys.println('FAIL $current (line ${pos.lineNumber}): $what');
	}

	static function eq<T>(expected:T, actual:T, ?pos:haxe.PosInfos) {
		if (expected != actual)
			fail('expected $expected, got $actual', pos);
	}

	static function isTrue(cond:Bool, what:String, ?pos:haxe.PosInfos) {
		if (!cond)
			fail(what, pos);
	}

	// --- building published files -------------------------------------------------------------

	static function be32(b:BytesBuffer, v:Int) {
		b.addByte((v >>> 24) & 0xFF);
		b.addByte((v >>> 16) & 0xFF);
		b.addByte((v >>> 8) & 0xFF);
		b.addByte(v & 0xFF);
	}

	static function filler(n:Int, seed:Int):Bytes {
		var b = Bytes.alloc(n);
		for (i in 0...n)
			b.set(i, (i * 31 + seed) & 0x7F); // never 0x2A twice in a row by construction below
		for (i in 0...n)
			if (b.get(i) == 0x2A)
				b.set(i, 0x2B);
		return b;
	}

	/** player movie + "*****" + X + description + D + data block, as publishing writes it. */
	static function published(player:Bytes, description:String, data:Bytes):Bytes {
		var b = new BytesBuffer();
		b.add(player);
		b.addString("*****");
		var desc = Bytes.ofString(description);
		be32(b, desc.length);
		b.add(desc);
		be32(b, data.length);
		b.add(data);
		return b.getBytes();
	}

	static function dataBlock(pieces:Array<Bytes>, head:Int):{bytes:Bytes, offsets:Array<Int>} {
		var b = new BytesBuffer();
		b.add(filler(head, 3));
		var offsets = [];
		for (p in pieces) {
			offsets.push(b.length);
			be32(b, p.length);
			b.add(p);
		}
		return {bytes: b.getBytes(), offsets: offsets};
	}

	// --- finding the block --------------------------------------------------------------------

	static function blockAtHint() {
		var player = filler(300, 1);
		var data = dataBlock([filler(40, 9)], 20).bytes;
		var file = published(player, "<Tavio/>", data);
		var s = ContainerBlock.find(file, 300);
		isTrue(s != null, "no block");
		eq(309, s.descriptionPos);
		eq(8, s.descriptionLength);
		eq("<Tavio/>", file.getString(s.descriptionPos, s.descriptionLength));
		eq(321, s.dataPos);
		eq(data.length, s.dataLength);
		eq(file.length, s.dataPos + s.dataLength);
	}

	static function blockByScanning() {
		// A false marker inside the player movie whose lengths do not lead to the end, and a wrong
		// hint: both must be passed over.
		var b = new BytesBuffer();
		b.add(filler(100, 2));
		b.addString("*****");
		be32(b, 10);
		b.add(filler(10, 4));
		be32(b, 7);
		b.add(filler(50, 5));
		var player = b.getBytes();
		var desc = "<Tavio><Images/></Tavio>";
		var data = dataBlock([Bytes.ofString("*****"), filler(64, 6)], 33).bytes;
		var file = published(player, desc, data);
		for (hint in [-1, 0, 100, player.length + 1, file.length + 10]) {
			var s = ContainerBlock.find(file, hint);
			isTrue(s != null, 'no block with hint $hint');
			if (s == null)
				continue;
			eq(player.length + 9, s.descriptionPos);
			eq(desc, file.getString(s.descriptionPos, s.descriptionLength));
			eq(data.length, s.dataLength);
		}
	}

	static function markerInsideRun() {
		// The player movie ends in stars: the real marker is the last five of the run.
		var b = new BytesBuffer();
		b.add(filler(20, 7));
		b.addString("***");
		var file = published(b.getBytes(), "<Tavio/>", filler(12, 8));
		var s = ContainerBlock.find(file);
		isTrue(s != null, "no block");
		eq(20 + 3 + 9, s.descriptionPos);
	}

	static function noBlock() {
		var good = published(filler(64, 1), "<Tavio/>", filler(30, 2));
		// Cut short, one byte too long, a description length past the end, an empty file, no marker.
		var cut = good.sub(0, good.length - 1);
		var longer = Bytes.alloc(good.length + 1);
		longer.blit(0, good, 0, good.length);
		var huge = good.sub(0, good.length);
		huge.set(64 + 5, 0xFF); // X becomes > 2^31: read as negative, never as a length
		var past = good.sub(0, good.length);
		past.set(64 + 7, 0x7F);
		for (c in [
			{name: "cut", file: cut},
			{name: "longer", file: longer},
			{name: "huge", file: huge},
			{name: "past", file: past},
			{name: "empty", file: Bytes.alloc(0)},
			{name: "plain", file: filler(500, 3)},
			{name: "marker only", file: Bytes.ofString("x*****")}
		]) {
			isTrue(ContainerBlock.find(c.file) == null, c.name + " gave a block");
			isTrue(ContainerBlock.find(c.file, 64) == null, c.name + " gave a block at the hint");
		}
	}

	static function pieces() {
		var photo = filler(25, 11);
		var built = dataBlock([filler(10, 1), photo, Bytes.alloc(0)], 17);
		var file = published(filler(40, 1), "<Tavio/>", built.bytes);
		var s = ContainerBlock.find(file);
		var p = ContainerBlock.piece(file, s, built.offsets[1], 25);
		isTrue(p != null, "photo piece refused");
		eq(s.dataPos + built.offsets[1] + 4, p.pos);
		eq(photo.toHex(), file.sub(p.pos, p.length).toHex());
		isTrue(ContainerBlock.piece(file, s, built.offsets[2], 0) != null, "empty last piece refused");
		// Wrong size, off by one, past the block, negative, not a number.
		for (c in [
			[built.offsets[1], 24.0],
			[built.offsets[1] + 1, 25.0],
			[built.offsets[2], 1.0],
			[s.dataLength - 3, 0.0],
			[-1, 25.0],
			[built.offsets[1], -1.0],
			[Math.NaN, 25.0]
		])
			isTrue(ContainerBlock.piece(file, s, c[0], c[1]) == null, 'piece at ${c[0]} size ${c[1]} accepted');
	}

	// --- the project description -------------------------------------------------------------

	static function publishedDescription() {
		var text = sys.io.File.getContent(haxe.io.Path.join([Sys.getEnv("GALLERIA_MOVIE_TEST_DATA"), "published.xml"]));
		var p = ProjectDescription.parse(text);
		eq(3, p.photos.length);
		eq("Harbour at dawn", p.photos[0].caption);
		eq("Boats & <nets>", p.photos[0].description);
		eq("http://example.org/one", p.photos[0].url);
		eq("_blank", p.photos[0].target);
		eq("_self", p.photos[1].target);
		eq("", p.photos[2].url);
		eq("Ünïcödé 写真", p.photos[2].caption);
		eq(52311.0, p.photos[0].offset);
		eq(20480.0, p.photos[0].size);
		eq("st_3d_Wall", p.templateType);
		eq(1234.0, p.templateOffset);
		eq(51073.0, p.templateSize);
		isTrue(p.useBgColor, "UseBgColor");
		eq(0x336699, p.bgColor);
		isTrue(!p.useBgImage, "UseBgImage");
		isTrue(p.useFrame && !p.useLight && p.useFill, "frame, light, fill");
		eq("influence", p.dragType);
		eq(7, p.autoDelay);
		isTrue(p.autoPlay && p.autoLoop && !p.fullPlay, "play options");
		isTrue(p.mousedrag && !p.autocursor && p.autoscroll && p.usespotlight, "template options");
		eq("SHOWALL", p.showModel);
		eq(1280, p.width);
		eq(720, p.height);
		isTrue(p.useMusic && p.musicLoop, "music");
		eq(99000.0, p.musicOffset);
		eq(4096.0, p.musicSize);
	}

	static function lenientDescription() {
		// Any case for names and bools, photo elements under any name, numbers that do not parse.
		var p = ProjectDescription.parse('<?xml version="1.0"?><TAVIO><images><Photo><CAPTION>a</CAPTION>'
			+ '<urltype>ST_CURRENT</urltype><md5o>12x</md5o><crts>9</crts></Photo><x/></images>'
			+ '<template><autoplay>TRUE</autoplay><autodelay>0</autodelay><dragtype>st_auto</dragtype>'
			+ '<uselight>maybe</uselight></template><Seting><Width>abc</Width></Seting></TAVIO>');
		eq(2, p.photos.length);
		eq("a", p.photos[0].caption);
		eq("_self", p.photos[0].target);
		eq(-1.0, p.photos[0].offset);
		eq(9.0, p.photos[0].size);
		eq("", p.photos[1].caption);
		isTrue(p.autoPlay, "TRUE is true");
		eq(1, p.autoDelay);
		eq("auto", p.dragType);
		isTrue(!p.useLight, "an unknown bool keeps the default");
		eq(0, p.width);
		isTrue(!p.useMusic, "music without a Seting flag");
	}

	static function notAProject() {
		for (text in ["<ProjName><Templates/></ProjName>", "not xml at all <", ""]) {
			var threw = false;
			try
				ProjectDescription.parse(text)
			catch (e:Dynamic)
				threw = true;
			isTrue(threw, 'accepted "$text"');
		}
	}

	static function links() {
		for (c in [
			["http://example.org/a", "http://example.org/a"],
			["  HTTPS://x.org ", "HTTPS://x.org"],
			["mailto:a@b.org", "mailto:a@b.org"],
			["www.example.org/x", "http://www.example.org/x"],
			["localhost:8080/x", "http://localhost:8080/x"],
			["", ""],
			[null, ""],
			["javascript:alert(1)", "null"],
			[" JavaScript:alert(1)", "null"],
			["vbscript:x", "null"],
			["data:text/html,<b>", "null"]
		]) {
			var got = Links.address(c[0]);
			eq(c[1], got == null ? "null" : got);
		}
	}
}
