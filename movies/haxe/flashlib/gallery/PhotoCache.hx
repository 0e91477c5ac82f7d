package gallery;

import flash.display.Bitmap;
import flash.display.BitmapData;
import flash.display.Loader;
import flash.events.Event;
import flash.events.IOErrorEvent;
import flash.geom.Matrix;
import flash.utils.ByteArray;

/**
	Decodes photos only when a template asks for them and keeps a bounded number of them, each
	scaled down to the size the template shows it at; a gallery of hundreds of photos therefore
	costs the memory of a screenful, not of the whole set. At most two decodes run at once, and the
	newest requests go first (the photos the viewer is looking at now).
**/
class PhotoCache {
	var source:Int->Null<ByteArray>;
	var maxWidth:Int;
	var maxHeight:Int;
	var capacity:Int;

	var ready = new Map<Int, BitmapData>();
	var failed = new Map<Int, Bool>();
	var useOrder:Array<Int> = []; // least recently used first
	var waiting:Array<Int> = [];
	var listeners = new Map<Int, Array<Null<BitmapData>->Void>>();
	var running = 0;

	public var onFailure:Int->Void = null;

	public function new(source:Int->Null<ByteArray>, maxWidth:Int, maxHeight:Int, capacity:Int) {
		this.source = source;
		this.maxWidth = maxWidth;
		this.maxHeight = maxHeight;
		this.capacity = capacity < 2 ? 2 : capacity;
	}

	/** Calls `done` with the picture, at once when decoded, or null when it cannot be decoded. */
	public function request(index:Int, done:Null<BitmapData>->Void) {
		var bmp = ready.get(index);
		if (bmp != null) {
			touch(index);
			done(bmp);
			return;
		}
		if (failed.exists(index)) {
			done(null);
			return;
		}
		var list = listeners.get(index);
		if (list == null) {
			listeners.set(index, [done]);
			waiting.remove(index);
			waiting.push(index);
			schedulePump();
		} else {
			list.push(done);
			// asked again: move it to the front of the queue
			if (waiting.remove(index))
				waiting.push(index);
		}
	}

	/** The picture when it is decoded; marks it as in use, so what is on screen stays cached. */
	public function peek(index:Int):Null<BitmapData> {
		var bmp = ready.get(index);
		if (bmp != null)
			touch(index);
		return bmp;
	}

	/** Drops requests that nobody needs any more (photos scrolled out of view). */
	public function cancelExcept(keep:Int->Bool) {
		for (i in waiting.copy())
			if (!keep(i)) {
				waiting.remove(i);
				listeners.remove(i);
			}
	}

	function touch(index:Int) {
		useOrder.remove(index);
		useOrder.push(index);
	}

	/**
		Decoding starts after the template's frame code has made all its requests, so that the
		last request of the frame (the photo nearest to the viewer) goes first.
	**/
	function schedulePump() {
		if (pumpScheduled)
			return;
		pumpScheduled = true;
		haxe.Timer.delay(function() {
			pumpScheduled = false;
			pump();
		}, 0);
	}

	var pumpScheduled = false;

	function pump() {
		while (running < 2 && waiting.length > 0) {
			var index = waiting.pop();
			decode(index);
		}
	}

	function decode(index:Int) {
		var bytes:Null<ByteArray> = null;
		try
			bytes = source(index)
		catch (e:Dynamic)
			bytes = null;
		if (bytes == null || bytes.length == 0) {
			finish(index, null);
			return;
		}
		running++;
		var loader = new Loader();
		var settled = false;
		function settle(bmp:Null<BitmapData>) {
			if (settled)
				return;
			settled = true;
			running--;
			try
				loader.unload()
			catch (e:Dynamic) {}
			finish(index, bmp);
			pump();
		}
		loader.contentLoaderInfo.addEventListener(Event.COMPLETE, function(_) {
			var scaled:Null<BitmapData> = null;
			try {
				var full = cast(loader.content, Bitmap).bitmapData;
				scaled = shrink(full);
				if (scaled != full)
					full.dispose();
			} catch (e:Dynamic) {
				scaled = null;
			}
			settle(scaled);
		});
		loader.contentLoaderInfo.addEventListener(IOErrorEvent.IO_ERROR, function(_) settle(null));
		// A decoder that never answers must not hold its slot for ever.
		haxe.Timer.delay(function() settle(null), 15000);
		try
			loader.loadBytes(bytes)
		catch (e:Dynamic)
			settle(null);
	}

	function shrink(full:BitmapData):BitmapData {
		if (!Capability.drawsIntoBitmaps)
			return full; // shown scaled instead; the count limit still bounds the memory
		var scale = Math.min(maxWidth / full.width, maxHeight / full.height);
		if (scale >= 1)
			return full;
		var w = Std.int(Math.max(1, Math.round(full.width * scale)));
		var h = Std.int(Math.max(1, Math.round(full.height * scale)));
		var out = new BitmapData(w, h, false, 0);
		var m = new Matrix();
		m.scale(w / full.width, h / full.height);
		out.draw(full, m, null, null, null, true);
		return out;
	}

	function finish(index:Int, bmp:Null<BitmapData>) {
		if (bmp == null) {
			failed.set(index, true);
			if (onFailure != null)
				onFailure(index);
		} else {
			ready.set(index, bmp);
			touch(index);
			evict();
		}
		var list = listeners.get(index);
		listeners.remove(index);
		if (list != null)
			for (f in list)
				f(bmp);
	}

	function evict() {
		while (useOrder.length > capacity) {
			var old = useOrder.shift();
			var bmp = ready.get(old);
			ready.remove(old);
			// Templates draw from the cache every frame; a disposed picture must not be on stage,
			// so they take pictures only through `peek` or `request`, never keep them.
			if (bmp != null)
				bmp.dispose();
		}
	}
}
