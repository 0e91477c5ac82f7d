import flash.display.Bitmap;
import flash.display.Loader;
import flash.display.Sprite;
import flash.display.StageAlign;
import flash.display.StageScaleMode;
import flash.events.Event;
import flash.events.IOErrorEvent;
import flash.events.SecurityErrorEvent;
import flash.geom.Matrix;
import flash.media.Sound;
import flash.media.SoundChannel;
import flash.net.URLLoader;
import flash.net.URLLoaderDataFormat;
import flash.net.URLRequest;
import flash.system.ApplicationDomain;
import flash.system.LoaderContext;
import flash.text.TextField;
import flash.utils.ByteArray;
import gallery.ContainerBlock;
import gallery.Log;
import gallery.ProjectDescription;
import gallery.Ui;
import haxe.io.Bytes;

/**
	The player movie at the head of every published gallery. It reads its own file, finds the
	gallery appended behind it, draws the background, starts the music and loads the template movie,
	which takes the photos and options from this object by name (the fields and methods marked
	"host" below). Anything missing or damaged is left out with a note on screen; nothing waits
	forever.
**/
class BasePlayer extends Sprite {
	static function main() {
		Log.install();
		var root = flash.Lib.current;
		root.stage.align = StageAlign.TOP_LEFT;
		root.stage.scaleMode = StageScaleMode.NO_SCALE;
		root.addChild(new BasePlayer(Std.int(root.loaderInfo.width), Std.int(root.loaderInfo.height)));
	}

	// --- host interface read by the template movies ---------------------------------------------
	public var galleryHost = 1;
	public var stageW:Int;
	public var stageH:Int;
	public var options:Dynamic;

	public function photoCount():Int {
		return photos.length;
	}

	public function photoInfo(i:Int):Dynamic {
		var p = photos[i].entry;
		return {caption: p.caption, description: p.description, url: p.url, target: p.target};
	}

	/** A fresh copy of the photo's JPEG bytes; the template decodes and drops it. */
	public function photoBytes(i:Int):ByteArray {
		if (i < 0 || i >= photos.length)
			return null;
		return copy(photos[i].span);
	}

	public function note(text:String) {
		Log.line("note: " + text);
		notes.push(text);
		if (notes.length > 4)
			notes.shift();
		noteField.text = notes.join("\n");
		noteField.visible = true;
		noteField.y = stageH - 92 - noteField.height;
	}

	// --- internals -----------------------------------------------------------------------------
	var file:Bytes;
	var block:BlockSpan;
	var project:Project;
	var photos:Array<{entry:PhotoEntry, span:Span}> = [];

	var background = new Sprite();
	var templateLayer = new Sprite();
	var noteField:TextField;
	var notes:Array<String> = [];
	var status:TextField;

	var music:Sound;
	var musicChannel:SoundChannel;
	var musicReported = false;

	function new(width:Int, height:Int) {
		super();
		stageW = width > 0 ? width : 960;
		stageH = height > 0 ? height : 540;
		paintBackground(0x101418);
		addChild(background);
		addChild(templateLayer);
		status = Ui.label(16, 0xC8D0DA);
		status.text = "Loading the gallery…";
		status.x = (stageW - status.width) / 2;
		status.y = (stageH - status.height) / 2;
		addChild(status);
		noteField = Ui.label(13, 0xFFD080, false, true, stageW - 40);
		noteField.x = 20;
		noteField.background = true;
		noteField.backgroundColor = 0x301810;
		noteField.visible = false;
		addChild(noteField);
		Log.line('player: stage ${stageW}x${stageH}');
		readOwnFile();
	}

	function paintBackground(colour:Int) {
		graphics.clear();
		graphics.beginFill(colour);
		graphics.drawRect(0, 0, stageW, stageH);
		graphics.endFill();
	}

	/**
		The appended block is usually not part of the movie a player hands to its script (it keeps
		only the bytes the header declares), so the file is fetched again from where it was loaded.
	**/
	function readOwnFile() {
		// A player that does keep the whole file saves the second read.
		var own = flash.Lib.current.loaderInfo.bytes;
		if (own != null && own.length > 0) {
			var whole = Bytes.ofData(own);
			if (ContainerBlock.find(whole, ContainerBlock.declaredMovieLength(whole)) != null) {
				received(whole, null);
				return;
			}
		}
		var url = flash.Lib.current.loaderInfo.url;
		var loader = new URLLoader();
		loader.dataFormat = URLLoaderDataFormat.BINARY;
		var done = false;
		function fallback(reason:String) {
			if (done)
				return;
			done = true;
			var own = flash.Lib.current.loaderInfo.bytes;
			if (own != null && own.length > 0)
				received(Bytes.ofData(own), reason);
			else
				fail('The gallery cannot be read ($reason).');
		}
		loader.addEventListener(Event.COMPLETE, function(_) {
			if (done)
				return;
			done = true;
			received(Bytes.ofData(cast(loader.data, ByteArray)), null);
		});
		loader.addEventListener(IOErrorEvent.IO_ERROR, function(e:IOErrorEvent) fallback(e.text));
		loader.addEventListener(SecurityErrorEvent.SECURITY_ERROR, function(e:SecurityErrorEvent) fallback(e.text));
		try
			loader.load(new URLRequest(url))
		catch (e:Dynamic)
			fallback(Std.string(e));
	}

	function received(bytes:Bytes, fetchProblem:Null<String>) {
		var t0 = flash.Lib.getTimer();
		file = bytes;
		block = ContainerBlock.find(file, ContainerBlock.declaredMovieLength(file));
		var t1 = flash.Lib.getTimer();
		if (block == null) {
			fail(fetchProblem == null ? "This movie carries no gallery." : 'The gallery cannot be read ($fetchProblem).');
			return;
		}
		try
			project = ProjectDescription.parse(file.getString(block.descriptionPos, block.descriptionLength))
		catch (e:Dynamic) {
			fail("The gallery description is damaged: " + Std.string(e));
			return;
		}
		Log.line('player: ${project.photos.length} photos, template ${project.templateType} (file of ${file.length} bytes read after ${t0} ms, block found in ${t1 - t0} ms, description read in ${flash.Lib.getTimer() - t1} ms)');
		applyStage();
		applyBackground();
		collectPhotos();
		startMusic();
		loadTemplate();
	}

	function fail(text:String) {
		status.text = text;
		status.x = Math.max(10, (stageW - status.width) / 2);
		note(text);
	}

	function applyStage() {
		if (project.showModel.toUpperCase() == "SHOWALL") {
			stage.scaleMode = StageScaleMode.SHOW_ALL;
			stage.align = cast "";
		}
		Log.line('player: scale ${stage.scaleMode}');
	}

	function applyBackground() {
		paintBackground(project.useBgColor ? project.bgColor : 0x101418);
		if (!project.useBgImage)
			return;
		var span = ContainerBlock.piece(file, block, project.bgImageOffset, project.bgImageSize);
		if (span == null) {
			note("The background picture is missing or damaged; it is left out.");
			return;
		}
		var loader = new Loader();
		loader.contentLoaderInfo.addEventListener(Event.COMPLETE, function(_) {
			try {
				var pic = cast(loader.content, Bitmap).bitmapData;
				// Cover the stage, cropping what sticks out, centred.
				var scale = Math.max(stageW / pic.width, stageH / pic.height);
				var m = new Matrix();
				m.scale(scale, scale);
				m.translate((stageW - pic.width * scale) / 2, (stageH - pic.height * scale) / 2);
				background.graphics.beginBitmapFill(pic, m, false, true);
				background.graphics.drawRect(0, 0, stageW, stageH);
				background.graphics.endFill();
				Log.line("player: background picture shown");
			} catch (e:Dynamic) {
				note("The background picture cannot be shown.");
			}
		});
		loader.contentLoaderInfo.addEventListener(IOErrorEvent.IO_ERROR, function(_) note("The background picture cannot be decoded; it is left out."));
		loader.loadBytes(copy(span));
	}

	function collectPhotos() {
		for (i in 0...project.photos.length) {
			var entry = project.photos[i];
			var span = ContainerBlock.piece(file, block, entry.offset, entry.size);
			if (span == null || span.length == 0) {
				note('Photo ${i + 1} ("${entry.caption}") is missing or damaged; it is left out.');
				continue;
			}
			photos.push({entry: entry, span: span});
		}
		options = {
			useFrame: project.useFrame,
			useLight: project.useLight,
			useFill: project.useFill,
			dragType: project.dragType,
			autoDelay: project.autoDelay,
			autoPlay: project.autoPlay,
			autoLoop: project.autoLoop,
			fullPlay: project.fullPlay,
			mousedrag: project.mousedrag,
			autocursor: project.autocursor,
			autoscroll: project.autoscroll,
			usespotlight: project.usespotlight,
			useBgColor: project.useBgColor,
			bgColor: project.bgColor
		};
	}

	function startMusic() {
		if (!project.useMusic)
			return;
		var span = ContainerBlock.piece(file, block, project.musicOffset, project.musicSize);
		if (span == null) {
			note("The music is missing or damaged; the gallery plays without it.");
			return;
		}
		try {
			music = new Sound();
			music.loadCompressedDataFromByteArray(copy(span), span.length);
			playMusic();
			addEventListener(Event.ENTER_FRAME, watchMusic);
		} catch (e:Dynamic) {
			note("The music cannot be played: " + Std.string(e));
		}
	}

	function playMusic() {
		musicChannel = music.play();
		if (musicChannel == null) {
			note("The music cannot be played on this computer.");
			return;
		}
		musicChannel.addEventListener(Event.SOUND_COMPLETE, function(_) {
			if (project.musicLoop)
				playMusic();
			else
				Log.line("music: finished");
		});
	}

	function watchMusic(_) {
		if (musicChannel != null && musicChannel.position > 0 && !musicReported) {
			musicReported = true;
			Log.line('music: playing, ${music.length > 0 ? Std.string(Math.round(music.length)) : "?"} ms long, loop ${project.musicLoop}');
			removeEventListener(Event.ENTER_FRAME, watchMusic);
		}
	}

	function loadTemplate() {
		var span = ContainerBlock.piece(file, block, project.templateOffset, project.templateSize);
		if (span == null) {
			fail("The gallery template is missing or damaged.");
			return;
		}
		var loader = new Loader();
		loader.contentLoaderInfo.addEventListener(Event.INIT, function(_) {
			status.visible = false;
			Log.line("player: template loaded");
		});
		loader.contentLoaderInfo.addEventListener(IOErrorEvent.IO_ERROR, function(_) fail("The gallery template cannot be started."));
		templateLayer.addChild(loader);
		try {
			// Its own application domain: template classes never clash with the player's.
			var context = new LoaderContext(false, new ApplicationDomain(null));
			loader.loadBytes(copy(span), context);
		} catch (e:Dynamic) {
			fail("The gallery template cannot be started: " + Std.string(e));
		}
	}

	function copy(span:Span):ByteArray {
		var out = new ByteArray();
		out.writeBytes(file.getData(), span.pos, span.length);
		out.position = 0;
		return out;
	}
}
